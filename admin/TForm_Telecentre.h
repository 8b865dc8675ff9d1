#pragma once

#include <QByteArray>
#include <QWidget>

class DropDownComboBox;
class FriendTable;
class PacketTransport;
class PasswordEdit;
class QComboBox;
class QLineEdit;
class QPushButton;
class SkinnedFrame;
struct ConsoleValues;

// The small window that asks another host to power itself off: the user names the host by nickname or
// address and types that host's password; the host answers later with a notice.
class TForm_Telecentre final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm_Telecentre)

public:
    static constexpr int DesignWidth = 216;
    static constexpr int DesignHeight = 145;

    TForm_Telecentre(const ConsoleValues &values, FriendTable &friends, PacketTransport &transport,
                     QWidget *parent = nullptr);

    // The address a typed host names: the text itself when it is a dotted address, else the address of the
    // first friend of exactly that nickname; empty when neither.
    static QByteArray targetAddress(const QByteArray &host, FriendTable &friends);

public Q_SLOTS:
    void suiButton_OKClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void FormShow();
    void fillHostList();
    void tell(const QString &text);

    const ConsoleValues &m_values;
    FriendTable &m_friends;
    PacketTransport &m_transport;

    SkinnedFrame *suiForm1 = nullptr;
    DropDownComboBox *suiComboBox_IP = nullptr;
    QComboBox *suiComboBox_Order = nullptr;
    QLineEdit *suiEdit_Parameter = nullptr;
    PasswordEdit *suiEdit_Password = nullptr;
    QPushButton *suiButton_OK = nullptr;
};
