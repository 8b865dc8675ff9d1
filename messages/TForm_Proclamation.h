#pragma once

#include "messages/ProclamationDeps.h"

#include <QPointer>
#include <QWidget>

class FaceMenu;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QPushButton;
class RichEdit;
class SkinnedFrame;

// The small window in which the user writes one text for every host at once: a system broadcast, or an
// urgent bulletin when "緊急通告" is ticked. The sender appears under the own nickname or as "匿名".
class TForm_Proclamation final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Proclamation)

public:
    static constexpr int DesignWidth = 226;
    static constexpr int DesignHeight = 152;
    // Receivers read a datagram into 30000 bytes; the text keeps room for the other fields.
    static constexpr int MaxContentBytes = 25000;
    enum TitleButton { ControlBox = 0, Close = 1, Maximize = 2, Spare = 3 };

    explicit TForm_Proclamation(const ProclamationDeps &deps);
    ~TForm_Proclamation() override;

    // The console's command "發送廣播": raises the open composer, else creates and shows one.
    static TForm_Proclamation *MenuItem_BSendClick(const ProclamationDeps &deps);

    QAbstractButton *titleButton(int index) const;
    FaceMenu *faceMenu() const { return m_faceMenu; }

public Q_SLOTS:
    void suiButton_OKClick();
    void suiButton_CloseClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void FormCloseQuery();
    void FormClose();
    void RxRichEdit_ContentEnter();
    bool RxRichEdit_ContentKeyDown(QKeyEvent *event);

    void buildControls();
    void relayout();
    void refuse(const QString &text);

    ProclamationDeps m_deps;
    // Focus that comes back with the window or from a popup does not enter the editor anew.
    bool m_editorEntered = false;

    SkinnedFrame *suiForm_Proclamation = nullptr;
    QComboBox *FlatComboBox_IP = nullptr;
    RichEdit *RxRichEdit_Content = nullptr;
    FaceMenu *m_faceMenu = nullptr;
    QCheckBox *suiCheckBox_AlarmCall = nullptr;
    QPushButton *suiButton_Close = nullptr;
    QPushButton *suiButton_OK = nullptr;
};

// The console's one reference to the open composer; empty while none is open.
extern QPointer<TForm_Proclamation> Form_Proclamation;
