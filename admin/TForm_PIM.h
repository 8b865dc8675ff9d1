#pragma once

#include <QByteArray>
#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

class ConsoleState;
class NoticeSink;
class PacketTransport;
class PasswordEdit;
class Presence;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class SettingsStore;
class SkinnedFrame;
class SpinButton;

// The window in which the user changes what other hosts know him by: his nickname, his picture (the Face
// value) and the password that guards remote power-off of his machine. A change is stored, held by the
// console and announced afresh at once.
class TForm_PIM final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_PIM)

public:
    static constexpr int DesignWidth = 395;
    static constexpr int DesignHeight = 265;
    static const QStringList Provinces;
    // The two choices of the picture dialog: face files taken byte for byte, or ordinary pictures.
    static const QString FaceFileFilter;
    static const QString PictureFilter;

    // The store is only asked whether the profile key opens: the console's setters write the values.
    TForm_PIM(ConsoleState &state, SettingsStore &store, Presence &presence, PacketTransport &transport,
              NoticeSink &notices, QWidget *parent = nullptr);

    // ImageList_Mien: index 0 is the built-in face; faceBytes(i) is the Face value picture i stands for
    // (empty for the built-in one).
    const QList<QPixmap> &ImageList_Mien() const { return m_mien; }
    QByteArray faceBytes(int index) const { return m_mienFaces.value(index); }
    int selectedPicture() const { return m_selected; }

public Q_SLOTS:
    void suiButton_OKClick();
    void suiButton1Click();
    void suiButton_CloseClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    QGroupBox *addPanel(const char *name, const QString &title);
    void buildBasic();
    void buildAffiliation();
    void buildDetails();
    void buildNetSafety();

    void FormShow();
    void TabControlChange(int index);
    void SpinButton1DownClick();
    void SpinButton1UpClick();
    void suiCheckBox_PasswordClick();

    void selectPicture(int index);
    int appendPicture(const QPixmap &picture, const QByteArray &face);
    void faceFileChosen(const QString &fileName, const QString &filter);
    bool profileKeyOpens();
    void storeProfile();
    void announceAfresh();
    void notice(QStringView text, const char *caption);
    void showError(const QString &text);

    ConsoleState &m_state;
    SettingsStore &m_store;
    Presence &m_presence;
    PacketTransport &m_transport;
    NoticeSink &m_notices;

    QList<QPixmap> m_mien;
    QList<QByteArray> m_mienFaces;
    int m_selected = 0;
    // The user picked a picture (arrows or "頭 像"): the one shown on saving becomes the face. Without a pick
    // a save leaves the face alone, also one that this host cannot draw.
    bool m_pictureChosen = false;

    SkinnedFrame *suiForm1 = nullptr;
    QLabel *Image_Decoration = nullptr;
    QPushButton *suiButton1 = nullptr;
    QPushButton *suiButton_OK = nullptr;
    QPushButton *suiButton_Close = nullptr;
    QTabBar *suiTabControl1 = nullptr;
    QList<QGroupBox *> m_panels;

    QLabel *JvImageSquare_Mien = nullptr;
    SpinButton *SpinButton1 = nullptr;
    QLineEdit *suiEdit_IP = nullptr;
    QLineEdit *suiEdit_Nickname = nullptr;

    QCheckBox *suiCheckBox_Password = nullptr;
    PasswordEdit *suiEdit_OldPassword = nullptr;
    PasswordEdit *suiEdit_NewPassword = nullptr;
    PasswordEdit *suiEdit_OkPassword = nullptr;
    QLabel *Label_NoPassword = nullptr;
};
