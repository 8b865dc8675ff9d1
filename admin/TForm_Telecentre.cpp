#include "admin/TForm_Telecentre.h"

#include "admin/DropDownComboBox.h"
#include "admin/PasswordEdit.h"
#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/InetAddr.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

namespace {

const QString Caption = QStringLiteral("連接主機");

QFont mingFont()
{
    return QFont(QStringLiteral("細明體"), 9);
}

} // namespace

TForm_Telecentre::TForm_Telecentre(const ConsoleValues &values, FriendTable &friends, PacketTransport &transport,
                                   QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_values(values),
      m_friends(friends), m_transport(transport)
{
    setObjectName(QStringLiteral("Form_Telecentre"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("連接遠程主機"));
    setFont(mingFont());
    setFixedSize(DesignWidth, DesignHeight);
    buildControls();
}

void TForm_Telecentre::buildControls()
{
    suiForm1 = SkinnedFrame::forFixedWindow(this, QStringLiteral("suiForm1"), windowTitle());

    const int labelLeft = 8;
    const int fieldLeft = 72;
    const int fieldWidth = DesignWidth - fieldLeft - 8;
    int top = SkinnedFrame::TitleBarHeight + 6;
    const auto row = [&](const QString &label, QWidget *field) {
        auto *text = new QLabel(label, suiForm1);
        text->setGeometry(labelLeft, top, fieldLeft - labelLeft, 20);
        field->setGeometry(fieldLeft, top, fieldWidth, 20);
        top += 24;
    };

    suiComboBox_IP = new DropDownComboBox(suiForm1);
    suiComboBox_IP->setObjectName(QStringLiteral("suiComboBox_IP"));
    suiComboBox_IP->setEditable(true);
    // What the user types is a host to send to, not an entry to keep in the list.
    suiComboBox_IP->setInsertPolicy(QComboBox::NoInsert);
    row(QStringLiteral("遠程主機:"), suiComboBox_IP);
    connect(suiComboBox_IP, &DropDownComboBox::aboutToDropDown, this, &TForm_Telecentre::fillHostList);

    suiComboBox_Order = new QComboBox(suiForm1);
    suiComboBox_Order->setObjectName(QStringLiteral("suiComboBox_Order"));
    suiComboBox_Order->addItem(QStringLiteral("關閉遠程計算機"));
    suiComboBox_Order->setCurrentIndex(0);
    row(QStringLiteral("可用命令:"), suiComboBox_Order);

    suiEdit_Parameter = new QLineEdit(suiForm1);
    suiEdit_Parameter->setObjectName(QStringLiteral("suiEdit_Parameter"));
    row(QStringLiteral("附加參數:"), suiEdit_Parameter);

    suiEdit_Password = new PasswordEdit(suiForm1);
    suiEdit_Password->setObjectName(QStringLiteral("suiEdit_Password"));
    row(QStringLiteral("主機密碼:"), suiEdit_Password);

    suiButton_OK = new QPushButton(QStringLiteral("確 定"), suiForm1);
    suiButton_OK->setObjectName(QStringLiteral("suiButton_OK"));
    suiButton_OK->setGeometry(DesignWidth - 8 - 75, top, 75, 21);
    connect(suiButton_OK, &QPushButton::clicked, this, &TForm_Telecentre::suiButton_OKClick);
}

void TForm_Telecentre::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_Telecentre::FormShow()
{
    PlaceAboveTaskbar(this);
    fillHostList();
}

void TForm_Telecentre::fillHostList()
{
    // Filling an editable list replaces what is typed with the first entry; the typed host stays.
    const QString typed = suiComboBox_IP->currentText();
    suiComboBox_IP->clear();
    for (const Friend &peer : m_friends.rows())
        suiComboBox_IP->addItem(cp950::decode(peer.User), peer.User);
    suiComboBox_IP->setEditText(typed);
}

QByteArray TForm_Telecentre::targetAddress(const QByteArray &host, FriendTable &friends)
{
    if (inetAddr(host))
        return host;
    const int row = friends.locateUser(host);
    return row < 0 ? QByteArray() : friends.at(row).IP;
}

void TForm_Telecentre::tell(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, Caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("TelecentreMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm_Telecentre::suiButton_OKClick()
{
    const QString typed = suiComboBox_IP->currentText();
    if (typed.isEmpty()) {
        tell(QStringLiteral("請選擇遠程主機!"));
        return;
    }
    // A nickname chosen from the list keeps its own bytes; only typed text goes through the code page.
    const int listed = suiComboBox_IP->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
    const QByteArray host = listed >= 0 ? suiComboBox_IP->itemData(listed).toByteArray() : cp950::encode(typed);
    const QByteArray address = targetAddress(host, m_friends);
    if (address.isEmpty()) {
        tell(QStringLiteral("請確認所輸入地址無誤，并且在線!!!!"));
        return;
    }
    // The password travels as typed, in clear text; the host compares it with its own.
    const QByteArray request = Packet::build(Packet::CMD_REMOTE_SHUTDOWN, {m_values.OwnAddress, m_values.OwnNickname,
                                                                           cp950::encode(suiEdit_Password->text())});
    if (m_transport.SendDirect(address, request) == -1)
        tell(QStringLiteral("發送失敗,請確認網絡正常且對方在線!!"));
}
