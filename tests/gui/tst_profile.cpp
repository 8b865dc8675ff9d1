#include "admin/TForm_Telecentre.h"
#include "base/Cp950.h"
#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/Packet.h"
#include "tests/support/RecordingTransport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

QByteArray big5(const char *utf8)
{
    return cp950::encode(QString::fromUtf8(utf8));
}

template <typename T> T *control(const QWidget *window, const char *name)
{
    T *child = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!child)
        qWarning("no control %s", name);
    return child;
}

// The text of the message box the window shows, closed again; empty when there is none.
QString takeMessageBox(QWidget *window, const char *name)
{
    auto *box = window->findChild<QMessageBox *>(QLatin1String(name));
    if (!box)
        return {};
    const QString text = box->text();
    box->close();
    delete box;
    return text;
}

} // namespace

class TestProfile final : public QObject
{
    Q_OBJECT

    ConsoleValues values;
    FriendTable friends;
    RecordingTransport transport;

    QPointer<TForm_Telecentre> telecentre;

    TForm_Telecentre *openTelecentre()
    {
        telecentre = new TForm_Telecentre(values, friends, transport);
        telecentre->show();
        return telecentre;
    }
    void send(const QString &host, const QString &password)
    {
        auto *hosts = control<QComboBox>(telecentre, "suiComboBox_IP");
        hosts->setEditText(host);
        control<QLineEdit>(telecentre, "suiEdit_Password")->setText(password);
        QTest::mouseClick(control<QPushButton>(telecentre, "suiButton_OK"), Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        values = ConsoleValues{};
        values.OwnAddress = "10.0.0.1";
        values.OwnNickname = big5("小明");
        friends.clear();
        transport = RecordingTransport{};
    }

    void cleanup() { delete telecentre; }

    // ---- remote host window -----------------------------------------------------------------------------

    void telecentreHostList()
    {
        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        friends.addIfNew("bob", "10.0.0.8", {});
        openTelecentre();
        auto *hosts = control<QComboBox>(telecentre, "suiComboBox_IP");
        QCOMPARE(hosts->count(), 2);
        QCOMPARE(hosts->itemText(0), QStringLiteral("阿華"));
        QCOMPARE(hosts->itemText(1), QStringLiteral("bob"));
        QCOMPARE(control<QComboBox>(telecentre, "suiComboBox_Order")->currentText(), QStringLiteral("關閉遠程計算機"));
        QVERIFY(telecentre->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(telecentre->windowFlags() & Qt::WindowStaysOnTopHint);

        // Dropping the list down refills it from the table as it is now; what is typed stays.
        friends.addIfNew("carol", "10.0.0.9", {});
        hosts->setEditText(QStringLiteral("10.0.0."));
        hosts->showPopup();
        hosts->hidePopup();
        QCOMPARE(hosts->count(), 3);
        QCOMPARE(hosts->currentText(), QStringLiteral("10.0.0."));
    }

    void telecentreSend_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("box");

        QTest::newRow("typed address of no friend")
            << QStringLiteral("192.168.5.20") << QByteArray("192.168.5.20") << QString();
        QTest::newRow("short address form") << QStringLiteral("10.1") << QByteArray("10.1") << QString();
        QTest::newRow("exact nickname") << QStringLiteral("bob") << QByteArray("10.0.0.8") << QString();
        QTest::newRow("first of two equal nicknames") << QStringLiteral("阿華") << QByteArray("10.0.0.7") << QString();
        QTest::newRow("nickname in other case")
            << QStringLiteral("BOB") << QByteArray() << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("part of a nickname")
            << QStringLiteral("bo") << QByteArray() << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("all-ones address is no address") << QStringLiteral("255.255.255.255") << QByteArray()
                                                        << QStringLiteral("請確認所輸入地址無誤，并且在線!!!!");
        QTest::newRow("empty host") << QStringLiteral("") << QByteArray() << QStringLiteral("請選擇遠程主機!");
    }

    void telecentreSend()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, target);
        QFETCH(QString, box);
        friends.addIfNew(big5("阿華"), "10.0.0.7", {});
        friends.addIfNew("bob", "10.0.0.8", {});
        friends.addIfNew(big5("阿華"), "10.0.0.9", {});
        openTelecentre();

        send(host, QStringLiteral("Pw0"));
        QCOMPARE(takeMessageBox(telecentre, "TelecentreMessageBox"), box);
        if (target.isEmpty()) {
            QVERIFY(transport.direct.isEmpty());
            return;
        }
        QCOMPARE(transport.direct.size(), 1);
        QCOMPARE(transport.direct.at(0).first, target);
        QCOMPARE(transport.direct.at(0).second,
                 Packet::build(Packet::CMD_REMOTE_SHUTDOWN, {"10.0.0.1", big5("小明"), "Pw0"}));
        // The window stays as it was, ready for another try.
        QVERIFY(telecentre->isVisible());
        QCOMPARE(control<QComboBox>(telecentre, "suiComboBox_IP")->currentText(), host);
    }

    void telecentrePassword()
    {
        openTelecentre();
        auto *password = control<QLineEdit>(telecentre, "suiEdit_Password");
        QTest::keyClicks(password, QStringLiteral("ab c"));
        QCOMPARE(password->displayText(), QStringLiteral("0000"));

        // Nothing typed travels as an empty field 4, which a host without a password accepts.
        send(QStringLiteral("10.0.0.8"), QString());
        send(QStringLiteral("10.0.0.8"), QStringLiteral("秘密 pw"));
        QCOMPARE(transport.direct.size(), 2);
        QCOMPARE(Packet::ExtractField(4, transport.direct.at(0).second), QByteArray());
        QCOMPARE(transport.direct.at(0).second,
                 Packet::build(Packet::CMD_REMOTE_SHUTDOWN, {"10.0.0.1", big5("小明"), ""}));
        QCOMPARE(Packet::ExtractField(4, transport.direct.at(1).second), big5("秘密 pw"));
    }

    void telecentreSendFails()
    {
        transport.directResult = -1;
        openTelecentre();
        send(QStringLiteral("10.0.0.8"), QStringLiteral("x"));
        QCOMPARE(transport.direct.size(), 1);
        QCOMPARE(takeMessageBox(telecentre, "TelecentreMessageBox"),
                 QStringLiteral("發送失敗,請確認網絡正常且對方在線!!"));
        QVERIFY(telecentre->isVisible());
    }
};

QTEST_MAIN(TestProfile)
#include "tst_profile.moc"
