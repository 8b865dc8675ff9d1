#include "admin/ReceivedOffers.h"
#include "admin/TForm_Diagnosis.h"
#include "admin/TForm_FileReceive.h"
#include "admin/TForm_PIM.h"
#include "admin/TForm_Preferences.h"
#include "admin/TForm_SendFile.h"
#include "admin/TForm_Telecentre.h"
#include "admin/transfer/FileTransfer.h"
#include "admin/transfer/TransferPacket.h"
#include "app/TForm_Parlune.h"
#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/FriendTable.h"
#include "engine/HistoryStore.h"
#include "engine/InboundDispatch.h"
#include "engine/MemorySettingsStore.h"
#include "engine/MessageTable.h"
#include "engine/NoticeText.h"
#include "engine/OtherSegments.h"
#include "engine/Packet.h"
#include "engine/SettingsNames.h"
#include "game/GameRouter.h"
#include "game/TForm_Gobang.h"
#include "messages/TForm_History.h"
#include "messages/TForm_Messenger.h"
#include "platform/HostAddress.h"
#include "shell/MainMenu.h"
#include "shell/TForm_AboutMoravik.h"
#include "shell/TForm_Broadcasting.h"
#include "shell/TrayIcon.h"
#include "shell/assistant/AssistantController.h"
#include "shell/assistant/DesktopAssistant.h"
#include "shell/assistant/SpeechQueue.h"
#include "shell/character/AcsReader.h"
#include "tests/support/ConsoleRig.h"
#include "widgets/FontSubstitutions.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QString helperPath()
{
    return qEnvironmentVariable("PARLUNE_SOURCE_DIR") + QStringLiteral("/resources/character/Helper.acs");
}

// Settings naming the character file; `wanted` is the profile's switch, missing when not given.
std::unique_ptr<MemorySettingsStore> assistantSettings(const QString &path, std::optional<int> wanted = {})
{
    auto store = std::make_unique<MemorySettingsStore>();
    store->plant(settings::SystemKey, settings::HelperPath,
                 {MemorySettingsStore::Type::String, cp950::encode(path), 0});
    if (wanted)
        store->plant(settings::ProfileKey, settings::HelperSwitch, {MemorySettingsStore::Type::Integer, {}, *wanted});
    return store;
}

QByteArray broadcastFrom(const char16_t *name, const char16_t *text)
{
    return Packet::build(Packet::CMD_BROADCAST, {"10.0.0.9", cp950::encode(name), "12:00", cp950::encode(text)});
}

QMessageBox *errorBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ErrorMessageBox") && widget->isVisible())
            return qobject_cast<QMessageBox *>(widget);
    return nullptr;
}

// Answers the open "選擇助手" dialog with a file, as the user would.
bool chooseCharacter(TForm_Parlune &console, const QString &path)
{
    QFileDialog *dialog = console.assistant().OpenDialog_Helper();
    if (!dialog || !dialog->isVisible())
        return false;
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept();
    return true;
}

QStringList listed(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// The text of the settings window's message box, closed again; empty when none is open.
QString takeMessage(QWidget *window)
{
    auto *box = window->findChild<QMessageBox *>(QStringLiteral("PreferencesMessageBox"));
    if (!box)
        return {};
    const QString text = box->text();
    delete box;
    return text;
}

// One packet over a connection to the console's listening port, as a peer sends it.
bool sendStream(quint16 port, const QByteArray &packet)
{
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    if (!peer.waitForConnected(5000))
        return false;
    peer.write(packet);
    if (!peer.waitForBytesWritten(5000))
        return false;
    peer.disconnectFromHost();
    return true;
}

QByteArray fileOffer(const QByteArray &address)
{
    return TransferPacket::build({TransferPacket::Kind::Offer,
                                  address,
                                  "peer",
                                  TransferPacket::newOfferId(),
                                  {{"a.txt", 10, QByteArray(64, 'a')}}});
}
} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

    static bool marked(TForm_Parlune &console)
    {
        return console.findChild<QAction *>(QStringLiteral("MenuItem_Helper"))->isChecked();
    }
    static qint32 storedSwitch(const ConsoleRig &rig)
    {
        return rig.store->values(settings::ProfileKey)->value(settings::HelperSwitch).number;
    }

private Q_SLOTS:
    void createdHiddenWithItsParts()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(c.windowFlags().testFlag(Qt::Tool));
        QVERIFY(c.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(c.windowTitle(), QStringLiteral("Parlune - Console"));
        QCOMPARE(c.findChild<QTimer *>(QStringLiteral("Timer_Refurbish"))->interval(), 600000);
        QVERIFY(c.Timer_Refurbish->isActive());
        QCOMPARE(c.findChild<QTimer *>(QStringLiteral("Timer_Innervation"))->interval(), 500);
        QVERIFY(!c.Timer_Innervation->isActive());

        // As created, before any setting is read.
        const std::pair<const char *, bool> marks[] = {
            {"MenuItem_SOnLine", true},   {"MenuItem_SLeave", false},       {"MenuItem_SHideLine", false},
            {"MenuItem_SOffLine", false}, {"MenuItem_BShow", true},         {"MenuItem_BAutoHide", false},
            {"MenuItem_IAtuoShow", true}, {"MenuItem_IInnervation", false}, {"MenuItem_ISuggestive", false},
            {"MenuItem_Helper", false},   {"MenuItem_AutoRun", false},      {"MenuItem_RTelnet", true},
            {"MenuItem_GAgree", true},
        };
        for (const auto &[name, checked] : marks) {
            const QAction *item = c.findChild<QAction *>(QLatin1String(name));
            QVERIFY2(item, name);
            QVERIFY2(item->isCheckable(), name);
            QVERIFY2(item->isChecked() == checked, name);
        }
        c.findChild<QAction *>(QStringLiteral("MenuItem_SHideLine"))->setChecked(true);
        QVERIFY(!c.findChild<QAction *>(QStringLiteral("MenuItem_SOnLine"))->isChecked());

        c.FormCreate();
        QVERIFY(!c.isVisible());
        QVERIFY(!c.testAttribute(Qt::WA_WState_Created) || !c.isVisible());
        QCOMPARE(c.values().AutoReplyText, InboundDispatch::defaultAutoReply());
        QVERIFY(c.values().AutoReplyText.endsWith(R"(\'c1\'70\'b5\'b8\lang1033 ...\lang1028\par})"));
    }

    // Start-up takes the settings and announces the stored status once, right after reading it.
    void startupAnnouncesTheStoredStatus_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("checked");
        QTest::newRow("online") << 1 << int(Packet::CMD_ONLINE) << QStringLiteral("MenuItem_SOnLine");
        QTest::newRow("away") << 6 << int(Packet::CMD_AWAY) << QStringLiteral("MenuItem_SLeave");
        QTest::newRow("hidden") << 2 << int(Packet::CMD_HIDDEN) << QStringLiteral("MenuItem_SHideLine");
        QTest::newRow("offline") << 0 << int(Packet::CMD_OFFLINE) << QStringLiteral("MenuItem_SOffLine");
        QTest::newRow("unknown number") << 3 << int(Packet::CMD_ONLINE) << QStringLiteral("MenuItem_SOnLine");
    }
    void startupAnnouncesTheStoredStatus()
    {
        QFETCH(int, state);
        QFETCH(int, command);
        QFETCH(QString, checked);
        auto store = std::make_unique<MemorySettingsStore>();
        store->plant(settings::SystemKey, settings::State, {MemorySettingsStore::Type::Integer, {}, state});
        store->plant(settings::ProfileKey, settings::Nickname, {MemorySettingsStore::Type::String, "nick", 0});
        store->plant(settings::SystemKey, settings::Suggestive, {MemorySettingsStore::Type::Integer, {}, 0});
        ConsoleRig rig(std::move(store));
        rig.console->FormCreate();
        QVERIFY(rig.console->findChild<QAction *>(checked)->isChecked());
        QVERIFY(!rig.console->state().suggestive());
        QVERIFY(!rig.console->findChild<QAction *>(QStringLiteral("MenuItem_ISuggestive"))->isChecked());
        QCOMPARE(rig.console->values().OwnNickname, QByteArray("nick"));
        QCOMPARE(rig.console->values().OwnAddress, LocalAddress());

        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        QTest::qWait(50);
        const QByteArrayList heard = rig.heard();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(Packet::command(heard[0]), std::optional<int>(command));
        QCOMPARE(Packet::ExtractField(2, heard[0]), rig.console->values().OwnAddress);
        if (command != Packet::CMD_OFFLINE)
            QCOMPARE(Packet::ExtractField(3, heard[0]), QByteArray("nick"));
        QVERIFY(rig.notices.shown.empty());
    }

    // Without the system key nothing is announced at start.
    void noAnnouncementWithoutTheSystemKey()
    {
        auto store = std::make_unique<MemorySettingsStore>();
        store->setUnopenable(settings::SystemKey);
        ConsoleRig rig(std::move(store));
        rig.console->FormCreate();
        QTest::qWait(100);
        QVERIFY(rig.heard().isEmpty());
    }

    // Every way of ending runs the close query exactly once: one CMD_OFFLINE, the input method stored.
    void closingSaysGoodbyeOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("menu") << QStringLiteral("menu");
        QTest::newRow("SIGTERM") << QStringLiteral("SIGTERM");
        QTest::newRow("SIGINT") << QStringLiteral("SIGINT");
        QTest::newRow("SIGHUP") << QStringLiteral("SIGHUP");
        QTest::newRow("SIGQUIT") << QStringLiteral("SIGQUIT");
        QTest::newRow("close request") << QStringLiteral("close request");
        QTest::newRow("quit") << QStringLiteral("quit");
    }
    void closingSaysGoodbyeOnce()
    {
        QFETCH(QString, how);
        auto store = std::make_unique<MemorySettingsStore>();
        store->plant(settings::SystemKey, settings::State, {MemorySettingsStore::Type::Integer, {}, 2});
        // A test run from a background job may inherit ignored signals, which the console leaves ignored.
        for (int number : {SIGINT, SIGQUIT, SIGHUP})
            ::signal(number, SIG_DFL);
        ConsoleRig rig(std::move(store));
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());
        c.values().ImeName = "chewing";
        QVERIFY(c.trayIcon()->systemTrayIcon()->isVisible());

        const QHash<QString, int> signalNumbers{{QStringLiteral("SIGTERM"), SIGTERM},
                                                {QStringLiteral("SIGINT"), SIGINT},
                                                {QStringLiteral("SIGHUP"), SIGHUP},
                                                {QStringLiteral("SIGQUIT"), SIGQUIT}};
        if (how == QLatin1String("menu")) {
            QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Close")));
        } else if (signalNumbers.contains(how)) {
            ::raise(signalNumbers.value(how));
        } else if (how == QLatin1String("quit")) {
            QMetaObject::invokeMethod(qApp, "aboutToQuit");
        } else {
            // What the session manager's logout and a failed engine reach.
            QMetaObject::invokeMethod(
                &c, [&c] { c.close(); }, Qt::QueuedConnection);
        }
        QTRY_VERIFY(c.hasClosed());
        c.close();
        QMetaObject::invokeMethod(qApp, "aboutToQuit");
        QTest::qWait(100);

        const QByteArrayList heard = rig.heard();
        QCOMPARE(heard, QByteArrayList{Packet::build(Packet::CMD_OFFLINE, {LocalAddress()})});
        QCOMPARE(rig.store->values(settings::ProfileKey)->value(settings::Ime).bytes, QByteArray("chewing"));
        QCOMPARE(c.socketEngine().listeningPort(), 0);
        QVERIFY(!c.trayIcon()->systemTrayIcon()->isVisible());
        QVERIFY(rig.notices.shown.empty());
    }

    // Qt ends the process with exit() when the X server goes away; the goodbye still goes out, once.
    void exitWithoutTheCloseQueryStillSaysGoodbye()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());

        const pid_t child = ::fork();
        if (child == 0)
            std::exit(1);
        QVERIFY(child > 0);
        // What the child does after its exit handlers (Qt's own teardown) is not what this test is about.
        int status = 0;
        bool reaped = false;
        for (int i = 0; i < 100 && !reaped; ++i)
            reaped = ::waitpid(child, &status, WNOHANG) == child || (QThread::msleep(100), false);
        if (!reaped) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        QTest::qWait(100);
        QCOMPARE(rig.heard(), QByteArrayList{Packet::build(Packet::CMD_OFFLINE, {LocalAddress()})});
        QVERIFY(!c.hasClosed());
    }

    // With "自動隱藏" checked, as it is by default, the ticker starts hidden above the screen's top edge.
    void tickerStartsHiddenWithAutoHide()
    {
        ConsoleRig rig;
        rig.console->FormCreate();
        QVERIFY(rig.console->state().broadcastAutoHide());
        QVERIFY(rig.console->findChild<QAction *>(QStringLiteral("MenuItem_BAutoHide"))->isChecked());
        QPointer<TForm_Broadcasting> ticker = rig.console->windows().find<TForm_Broadcasting>();
        QVERIFY(ticker);
        QCOMPARE(ticker->y(), ticker->HiddenTop());
        // The windows close with the console.
        rig.console.reset();
        QVERIFY(!ticker);
    }

    // What the menu's commands do: each reaches its part of the console, the switches through the state.
    void menuCommandsReachTheConsole()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Refurbish")));
        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        QCOMPARE(Packet::command(rig.heard().value(0)), std::optional<int>(Packet::CMD_ONLINE));

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_SLeave")));
        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        QCOMPARE(Packet::command(rig.heard().value(0)), std::optional<int>(Packet::CMD_AWAY));
        QCOMPARE(c.state().status(), Presence::Away);
        QCOMPARE(rig.store->values(settings::SystemKey)->value(settings::State).number, 6);

        // "顯示廣播" closes and reopens the ticker, and stores each choice.
        QVERIFY(c.windows().find<TForm_Broadcasting>());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_BShow")));
        QVERIFY(!c.windows().find<TForm_Broadcasting>());
        QCOMPARE(rig.store->values(settings::SystemKey)->value(settings::ShowBroadcasting).number, 0);
        QVERIFY(!c.findChild<QAction *>(QStringLiteral("MenuItem_BAutoHide"))->isVisible());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_BShow")));
        QVERIFY(c.windows().find<TForm_Broadcasting>());

        // The credits are one window, however often they are asked for.
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Moravik")));
        TForm_AboutMoravik *credits = c.windows().find<TForm_AboutMoravik>();
        QVERIFY(credits);
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Moravik")));
        QCOMPARE(c.windows().find<TForm_AboutMoravik>(), credits);

        // The message window asks the console to announce the presence anew ("Info" while composing).
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_SendMessage")));
        TForm_Messenger *messenger = c.windows().find<TForm_Messenger>();
        QVERIFY(messenger && messenger->isComposing());
        QTest::qWait(50);
        rig.heard();
        messenger->suiForm_MessageTitleBarCustomBtnsClick(TForm_Messenger::Info);
        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        QCOMPARE(Packet::command(rig.heard().value(0)), std::optional<int>(Packet::CMD_AWAY));

        c.RxMemoryData_Message->append("bob", "10.0.0.2", "{\\rtf1 hi}");
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Empty")));
        QCOMPARE(c.RxMemoryData_Message->size(), 0);
        QCOMPARE(rig.notices.count(), 1);
        QCOMPARE(rig.notices.shown[0].caption, QByteArray("EMPTY MESSAGE"));
        // The bytes the notice window has always received.
        QCOMPARE(rig.notices.shown[0].text,
                 QByteArray(R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                            R"(MS Sans Serif;}}\viewkind4\uc1\pard\lang1028\f0\fs16)"
                            R"(\'b2\'4d\'aa\'c5\'b2\'e1\'a4\'d1\'b0\'4f\'bf\'fd\'a4\'77\'a7\'b9\'a6\'a8!\par})"));
        QCOMPARE(c.trayIcon()->look(), TrayIcon::Look::Rest);

        // A new nickname is stored and shows in the tooltip at once.
        QVERIFY(c.state().setOwnNickname("Renamed"));
        QCOMPARE(rig.store->values(settings::ProfileKey)->value(settings::Nickname).bytes, QByteArray("Renamed"));
        QVERIFY(c.trayIcon()->systemTrayIcon()->toolTip().contains(QStringLiteral("Nickname: Renamed")));

        // One profile window however often it is asked for; a nickname saved there shows in the tray tip.
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Bio")));
        TForm_PIM *profile = c.windows().find<TForm_PIM>();
        QVERIFY(profile);
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Bio")));
        QCOMPARE(c.windows().find<TForm_PIM>(), profile);
        profile->findChild<QLineEdit *>(QStringLiteral("suiEdit_Nickname"))->setText(QStringLiteral("新名字"));
        profile->suiButton_OKClick();
        QVERIFY(!c.windows().find<TForm_PIM>());
        QVERIFY(c.trayIcon()->systemTrayIcon()->toolTip().contains(QStringLiteral("新名字")));
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_RTelecentre")));
        QVERIFY(c.windows().find<TForm_Telecentre>());

        // One history window, kept in a data folder of the test's own; the message window asks for it with the
        // peer it writes to chosen.
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_History")));
        TForm_History *history = c.windows().find<TForm_History>();
        QVERIFY(history);
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_History")));
        QCOMPARE(c.windows().find<TForm_History>(), history);
        QVERIFY(messenger->isComposing());
        messenger->findChild<QLineEdit *>(QStringLiteral("FlatEdit_IP"))->setText(QStringLiteral("10.0.0.2"));
        messenger->findChild<QAction *>(QStringLiteral("MenuItem_RecordHistory"))->trigger();
        QCOMPARE(c.windows().find<TForm_History>(), history);
        QCOMPARE(history->shownPeer(), QByteArray("10.0.0.2"));
        history->close();
        qunsetenv("XDG_DATA_HOME");
    }

    // "網絡診斷" opens one diagnosis window: its facts show this program on its three ports and when a friend was
    // last heard; the probe refuses what is no other host before it sends anything.
    void diagnosisWindowThroughTheConsole()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());
        c.RxMemoryData_Friend->addIfNew("bob", "127.0.0.1", {});
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Diagnosis")));
        TForm_Diagnosis *window = c.windows().find<TForm_Diagnosis>();
        QVERIFY(window);
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Diagnosis")));
        QCOMPARE(c.windows().find<TForm_Diagnosis>(), window);

        auto *facts = window->findChild<QTextBrowser *>(QStringLiteral("Memo_Facts"));
        const auto shown = [facts](const QString &text) { return facts->toPlainText().contains(text); };
        QTRY_VERIFY_WITH_TIMEOUT(shown(QStringLiteral("好友最後收到的時間")), 10000);
        SocketEngine &engine = c.socketEngine();
        QVERIFY(shown(QStringLiteral("UDP %1（收發廣播）：已由本程序綁定。").arg(engine.broadcastPort())));
        QVERIFY(shown(QStringLiteral("TCP %1（接收信息）：已由本程序綁定。").arg(engine.listeningPort())));
        QVERIFY(shown(QStringLiteral("TCP %1（傳送文件）：已由本程序綁定。").arg(c.fileTransfer().servingPort())));
        QVERIFY(shown(QStringLiteral("bob（127.0.0.1）：廣播 從未，連接 從未")));
        QVERIFY(!shown(QStringLiteral("其他網段")));
        engine.setExtraDestinations({0x0A0104FF, 0x0A010509});

        QUdpSocket bob;
        bob.writeDatagram("hello", QHostAddress::LocalHost, engine.broadcastPort());
        QTRY_VERIFY(engine.heardHosts().find(0x7F000001));
        window->suiButton_RecheckClick();
        QTRY_VERIFY_WITH_TIMEOUT(
            shown(QStringLiteral("bob（127.0.0.1）：廣播 ")) && !shown(QStringLiteral("廣播 從未")), 10000);
        QVERIFY(shown(QStringLiteral("也發往其他網段：10.1.4.255、10.1.5.9")));

        auto *target = window->findChild<QLineEdit *>(QStringLiteral("suiEdit_Probe"));
        auto *verdict = window->findChild<QLabel *>(QStringLiteral("Label_Verdict"));
        for (const char *own : {"bob", "127.0.0.5", "0.0.0.0", "224.0.0.1"}) {
            target->setText(QLatin1String(own));
            window->suiButton_ProbeClick();
            QVERIFY2(verdict->text().contains(QStringLiteral("是本機自己或不是一台主機的地址")), own);
        }
        target->setText(QStringLiteral("nobody"));
        window->suiButton_ProbeClick();
        QCOMPARE(verdict->text(), QStringLiteral("找不到「nobody」。"));
        QVERIFY(window->findChild<QPushButton *>(QStringLiteral("suiButton_Probe"))->isEnabled());
        QTest::qWait(50);
        QVERIFY(rig.heard().isEmpty());
    }

    // "妙手連珠" opens one game window, which the routing reaches; the console's close sends its leaving report
    // before the goodbye, and a game packet the routing cannot read is told like any other.
    void gameWindowThroughTheConsole()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_GFive")));
        TForm_Gobang *game = c.windows().find<TForm_Gobang>();
        QVERIFY(game);
        QCOMPARE(c.gameRouter().session(), &game->session());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_GFive")));
        QCOMPARE(c.windows().find<TForm_Gobang>(), game);
        QTRY_VERIFY(rig.wire.hasPendingDatagrams());
        const QByteArray query = rig.heard().value(0);
        QCOMPARE(Packet::ExtractField(5, query), QByteArray("0"));
        QCOMPARE(Packet::ExtractField(6, query), QByteArray("3"));

        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, c.socketEngine().listeningPort());
        QVERIFY(peer.waitForConnected(5000));
        peer.write(Packet::build(Packet::CMD_GAME, {"10.0.0.9", "x", "1", "zero"}));
        QVERIFY(peer.waitForBytesWritten(5000));
        peer.disconnectFromHost();
        QTRY_COMPARE(rig.notices.count(), 1);
        QCOMPARE(rig.notices.shown[0].caption, QByteArray("ERROR MESSAGE"));

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Close")));
        QTRY_VERIFY(c.hasClosed());
        QTest::qWait(100);
        const QByteArrayList heard = rig.heard();
        QCOMPARE(heard.size(), 2);
        QCOMPARE(Packet::ExtractField(6, heard[0]), QByteArray("4"));
        QCOMPARE(Packet::command(heard[1]), std::optional<int>(Packet::CMD_OFFLINE));
        QCOMPARE(rig.notices.count(), 1);
    }

    // The character comes up at start, follows its switch and its own show and hide, and reads broadcasts
    // while it is loaded, shown or hidden.
    void assistantFollowsItsSwitch()
    {
        ConsoleRig rig(assistantSettings(helperPath()));
        TForm_Parlune &c = *rig.console;
        c.FormCreate();
        DesktopAssistant &agent = c.desktopAssistant();
        QVERIFY(agent.isLoaded());
        QCOMPARE(agent.characterId(), QStringLiteral("Helper"));
        QVERIFY(agent.window()->isVisible());
        QVERIFY(marked(c));
        QCOMPARE(storedSwitch(rig), 1);
        const QScreen *screen = agent.window()->screen();
        const int panel = screen->geometry().bottom() - screen->availableGeometry().bottom();
        QCOMPARE(agent.window()->pos(), QPoint(screen->geometry().width() - agent.width() - 5,
                                               screen->geometry().height() - agent.height() - panel));

        // Off and on again: the same character, where the user left it, not read again.
        agent.window()->move(40, 50);
        const Character *character = agent.window()->character();
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QVERIFY(!marked(c));
        QCOMPARE(storedSwitch(rig), 0);
        QTRY_VERIFY(!agent.window()->isVisible());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QVERIFY(marked(c));
        QCOMPARE(storedSwitch(rig), 1);
        QVERIFY(agent.window()->isVisible());
        QCOMPARE(agent.window()->pos(), QPoint(40, 50));
        QCOMPARE(agent.window()->character(), character);

        // The user hides the character through its own menu: the mark follows, the stored switch does not.
        agent.window()->hideCharacter(CharacterWindow::Cause::User);
        QTRY_VERIFY(!marked(c));
        QCOMPARE(storedSwitch(rig), 1);

        // Hidden, it still reads every broadcast, each with its own name and text, and the ticker shows them.
        c.inboundDispatch().onBroadcast(broadcastFrom(u"小明", u"開會了"));
        c.inboundDispatch().onBroadcast(broadcastFrom(u"老王", u"午餐"));
        QCOMPARE(rig.voice->said, QStringList{QStringLiteral("暱稱：小明\r內容：開會了")});
        rig.voice->finish();
        QCOMPARE(rig.voice->said.value(1), QStringLiteral("暱稱：老王\r內容：午餐"));
        QCOMPARE(c.windows().find<TForm_Broadcasting>()->bandCount(), 2);

        // Shutdown unloads it.
        c.close();
        QVERIFY(!agent.isLoaded());
    }

    // Without its file, or not wanted, there is no character: broadcasts go to the ticker alone. Switched on,
    // the missing file leads to the choice; the chosen character shows and its show event sets the mark.
    void noCharacterUntilOneIsChosen_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::newRow("file missing") << 1;
        QTest::newRow("not wanted") << 0;
    }
    void noCharacterUntilOneIsChosen()
    {
        QFETCH(int, wanted);
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("Owl"));
        ConsoleRig rig(assistantSettings(wanted ? missing : helperPath(), wanted));
        TForm_Parlune &c = *rig.console;
        c.FormCreate();
        DesktopAssistant &agent = c.desktopAssistant();
        QVERIFY(!agent.isLoaded());
        QVERIFY(!marked(c));
        QCOMPARE(storedSwitch(rig), wanted);
        QVERIFY(!errorBox());
        c.inboundDispatch().onBroadcast(broadcastFrom(u"小明", u"開會了"));
        QVERIFY(rig.voice->said.isEmpty());
        QCOMPARE(c.windows().find<TForm_Broadcasting>()->bandCount(), 1);
        if (!wanted)
            return;

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QFileDialog *dialog = c.assistant().OpenDialog_Helper();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Agent File (*.acs)")});
        // A second ask brings the same dialog forward.
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_HelperSel")));
        QCOMPARE(c.assistant().OpenDialog_Helper(), dialog);
        QVERIFY(QFile::copy(helperPath(), dir.filePath(QStringLiteral("Owl.big.acs"))));
        QVERIFY(chooseCharacter(c, dir.filePath(QStringLiteral("Owl.big.acs"))));
        QVERIFY(agent.isLoaded());
        QCOMPARE(agent.characterId(), QStringLiteral("Owl"));
        QVERIFY(agent.window()->isVisible());
        QVERIFY(marked(c));
        QCOMPARE(rig.store->values(settings::SystemKey)->value(settings::HelperPath).bytes,
                 cp950::encode(dir.filePath(QStringLiteral("Owl.big.acs"))));
    }

    // The choice replaces a loaded character, hidden or not, and sets the mark through the show event alone;
    // a file that is no character is refused with the reader's own words.
    void choosingAnotherCharacter()
    {
        ConsoleRig rig(assistantSettings(helperPath()));
        TForm_Parlune &c = *rig.console;
        c.FormCreate();
        DesktopAssistant &agent = c.desktopAssistant();
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QTRY_VERIFY(!agent.window()->isVisible());
        agent.window()->move(10, 10);

        QTemporaryDir dir;
        const QString owl = dir.filePath(QStringLiteral("Owl.acs"));
        QVERIFY(QFile::copy(helperPath(), owl));
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_HelperSel")));
        QVERIFY(chooseCharacter(c, owl));
        QCOMPARE(agent.characterId(), QStringLiteral("Owl"));
        QVERIFY(agent.window()->isVisible());
        QVERIFY(agent.window()->pos() != QPoint(10, 10));
        QVERIFY(marked(c));
        QCOMPARE(storedSwitch(rig), 0);

        QFile damaged(dir.filePath(QStringLiteral("Bad.acs")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a character");
        damaged.close();
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_HelperSel")));
        QVERIFY(chooseCharacter(c, damaged.fileName()));
        QMessageBox *box = errorBox();
        QVERIFY(box);
        QString expected;
        QVERIFY(!AcsReader::readFile(damaged.fileName(), &expected));
        QCOMPARE(box->text(), expected);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        box->close();
        QVERIFY(!agent.isLoaded());
        // Broadcasts go on reaching the ticker.
        c.inboundDispatch().onBroadcast(broadcastFrom(u"小明", u"開會了"));
        QCOMPARE(c.windows().find<TForm_Broadcasting>()->bandCount(), 1);

        // Without the system key a choice changes nothing, and the switch opens no dialog.
        rig.store->setUnopenable(settings::SystemKey);
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_HelperSel")));
        QVERIFY(chooseCharacter(c, owl));
        QVERIFY(!agent.isLoaded());
        if (marked(c))
            QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Helper")));
        QVERIFY(!agent.isLoaded());
        QVERIFY(!c.assistant().OpenDialog_Helper() || !c.assistant().OpenDialog_Helper()->isVisible());
    }

    // A character file that cannot be read at start is reported without holding up the start.
    void aDamagedCharacterAtStart()
    {
        QTemporaryDir dir;
        QFile damaged(dir.filePath(QStringLiteral("Helper.acs")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(100, '\xC3'));
        damaged.close();
        ConsoleRig rig(assistantSettings(damaged.fileName()));
        rig.console->FormCreate();
        QVERIFY(errorBox());
        errorBox()->close();
        QVERIFY(!rig.console->desktopAssistant().isLoaded());
        QVERIFY(!marked(*rig.console));
        QCOMPARE(storedSwitch(rig), 1);
        QVERIFY(rig.console->trayIcon()->systemTrayIcon()->isVisible());
    }

    // Whatever becomes of the reading, a broadcast is never lost: a voice that fails and a character with
    // too much to say still leave every broadcast in the ticker.
    void aFailingSpeechLosesNoBroadcast()
    {
        ConsoleRig rig(assistantSettings(helperPath()));
        TForm_Parlune &c = *rig.console;
        c.FormCreate();
        QSignalSpy spoken(&c.assistant(), &AssistantController::spoken);
        c.inboundDispatch().onBroadcast(broadcastFrom(u"甲", u"一"));
        rig.voice->fail();
        const int sent = SpeechQueue::MaxQueued + 5;
        for (int i = 1; i < sent; ++i)
            c.inboundDispatch().onBroadcast(broadcastFrom(u"乙", u"二"));
        QCOMPARE(c.desktopAssistant().speech()->pending(), SpeechQueue::MaxQueued);
        QCOMPARE(c.windows().find<TForm_Broadcasting>()->bandCount(), sent);
        QCOMPARE(spoken.size(), 1);
        QCOMPARE(spoken.at(0).at(0).toString(), QStringLiteral("暱稱：甲\r內容：一"));
        QVERIFY(rig.notices.shown.empty());
    }

    // Sockets that cannot even be created: the notices, then the ordinary close once the loop runs.
    void socketFailureClosesThroughTheCloseQuery()
    {
        // No ticker: its sounds would need descriptors.
        auto store = std::make_unique<MemorySettingsStore>();
        store->plant(settings::SystemKey, settings::ShowBroadcasting, {MemorySettingsStore::Type::Integer, {}, 0});
        ConsoleRig rig(std::move(store));
        TForm_Parlune &c = *rig.console;
        rlimit saved{};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = 0;
        ::setrlimit(RLIMIT_NOFILE, &tight);
        c.FormCreate();
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(!c.hasClosed());

        QVERIFY(rig.notices.shown.size() >= 1);
        QCOMPARE(rig.notices.shown[0].text, NoticeText::build(u"套接字創建失敗!"));
        QCOMPARE(rig.notices.shown[0].caption, QByteArray("Socket Engine"));
        QTRY_VERIFY(c.hasClosed());
    }

    // "參數設置" opens the settings window on the stored list of other segments. What the user adds, changes
    // and removes there reaches the engine and the store with "確 定" only; a refused entry is explained.
    void preferencesEditTheOtherSegments()
    {
        auto store = std::make_unique<MemorySettingsStore>();
        store->plant(settings::SystemKey, settings::ExtraDestinations,
                     {MemorySettingsStore::Type::String, "10.1.2.255,junk, 10.1.3.7", 0});
        ConsoleRig rig(std::move(store));
        QVERIFY(rig.startQuietly());
        TForm_Parlune &c = *rig.console;
        const std::vector<quint32> stored{0x0A0102FF, 0x0A010307};
        QCOMPARE(c.socketEngine().extraDestinations(), stored);

        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Preferences")));
        QPointer<TForm_Preferences> window = c.windows().find<TForm_Preferences>();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("參數設置"));
        auto *list = window->findChild<QListWidget *>(QStringLiteral("suiListBox_Destinations"));
        auto *edit = window->findChild<QLineEdit *>(QStringLiteral("suiEdit_Destination"));
        const auto click = [&](const char *name) { window->findChild<QPushButton *>(QLatin1String(name))->click(); };
        QCOMPARE(listed(list), (QStringList{QStringLiteral("10.1.2.255"), QStringLiteral("10.1.3.7")}));

        using R = segments::Refusal;
        std::vector<std::pair<QString, R>> refused{{QStringLiteral("10.1.2"), R::NotAnAddress},
                                                   {QStringLiteral("127.0.0.1"), R::Unusable},
                                                   {QStringLiteral("10.1.3.7"), R::Duplicate}};
        if (!LocalAddress().isEmpty())
            refused.emplace_back(QString::fromLatin1(LocalAddress()), R::ThisSegment);
        for (const auto &[typed, refusal] : refused) {
            edit->setText(typed);
            click("suiButton_Add");
            QCOMPARE(takeMessage(window), TForm_Preferences::refusalText(refusal));
        }
        QCOMPARE(list->count(), 2);

        edit->setText(QStringLiteral("10.1.4.255"));
        click("suiButton_Add");
        QVERIFY(edit->text().isEmpty());
        list->setCurrentRow(0);
        QCOMPARE(edit->text(), QStringLiteral("10.1.2.255"));
        edit->setText(QStringLiteral("10.1.5.255"));
        click("suiButton_Edit");
        // A row may be stored again unchanged, but not made a copy of another.
        list->setCurrentRow(1);
        click("suiButton_Edit");
        QCOMPARE(takeMessage(window), QString());
        edit->setText(QStringLiteral("10.1.4.255"));
        click("suiButton_Edit");
        QCOMPARE(takeMessage(window), TForm_Preferences::refusalText(R::Duplicate));
        click("suiButton_Remove");
        QCOMPARE(listed(list), (QStringList{QStringLiteral("10.1.5.255"), QStringLiteral("10.1.4.255")}));
        QCOMPARE(c.socketEngine().extraDestinations(), stored);

        const QString folder = qEnvironmentVariable("PARLUNE_SCREENSHOTS");
        if (!folder.isEmpty()) {
            FontSubstitutions::install();
            QVERIFY(QDir().mkpath(folder));
            edit->setText(QStringLiteral("10.1.6.255"));
            QVERIFY(window->grab().save(folder + QStringLiteral("/preferences.png")));
            edit->clear();
        }

        QSignalSpy diagnosis(window.data(), &TForm_Preferences::diagnosisRequested);
        click("suiButton_Diagnosis");
        QCOMPARE(diagnosis.count(), 1);
        QVERIFY(c.windows().find<TForm_Diagnosis>());
        click("suiButton_OK");
        QTRY_VERIFY(!window);
        const std::vector<quint32> chosen{0x0A0105FF, 0x0A0104FF};
        QCOMPARE(c.socketEngine().extraDestinations(), chosen);
        QCOMPARE(settings::readString(*rig.store, settings::SystemKey, settings::ExtraDestinations),
                 std::optional<QByteArray>("10.1.5.255,10.1.4.255"));

        // Opened again, it shows what was stored; a store that refuses keeps it open and says so.
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_Preferences")));
        window = c.windows().find<TForm_Preferences>();
        QVERIFY(window);
        list = window->findChild<QListWidget *>(QStringLiteral("suiListBox_Destinations"));
        QCOMPARE(listed(list), (QStringList{QStringLiteral("10.1.5.255"), QStringLiteral("10.1.4.255")}));
        rig.store->setReadOnly(true);
        list->setCurrentRow(0);
        click("suiButton_Remove");
        click("suiButton_OK");
        QCOMPARE(takeMessage(window), QStringLiteral("無法寫入注冊表信息!"));
        QVERIFY(window->isVisible());
        click("suiButton_Cancel");
        QTRY_VERIFY(!window);
    }

    // "傳送文件" opens the one send list; offers open the one recipient's window and join its list, but only
    // those whose sender's address is the host the connection comes from.
    void fileWindowsThroughTheConsole()
    {
        ConsoleRig rig;
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_SendFile")));
        TForm_SendFile *list = c.windows().find<TForm_SendFile>();
        QVERIFY(list && list->isVisible());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_SendFile")));
        QCOMPARE(c.windows().find<TForm_SendFile>(), list);

        const int open = c.windows().openCount();
        const quint16 port = c.socketEngine().listeningPort();
        QVERIFY(sendStream(port, fileOffer("127.0.0.1")));
        QTRY_VERIFY(c.windows().find<TForm_FileReceive>());
        TForm_FileReceive *window = c.windows().find<TForm_FileReceive>();
        QVERIFY(sendStream(port, fileOffer("10.9.9.9")));
        QVERIFY(sendStream(port, fileOffer("127.0.0.1")));
        QTRY_COMPARE(c.receivedOffers().offers().size(), size_t(2));
        QTest::qWait(100);
        QCOMPARE(c.receivedOffers().offers().size(), size_t(2));
        QCOMPARE(c.windows().find<TForm_FileReceive>(), window);
        QCOMPARE(c.windows().openCount(), open + 1);
        QCOMPARE(rig.notices.count(), 0);

        // Closing the window refuses what still waits for an answer; the next offer opens it again.
        window->close();
        QTRY_VERIFY(std::all_of(c.receivedOffers().offers().begin(), c.receivedOffers().offers().end(),
                                [](const auto &offer) { return offer.phase == ReceivedOffers::Phase::Declined; }));
        QVERIFY(sendStream(port, fileOffer("127.0.0.1")));
        QTRY_VERIFY(c.windows().find<TForm_FileReceive>());
    }

    // Without the port files are served on, the program runs on and the send list says why it cannot send.
    void fileTransferWithoutItsPort()
    {
        QTcpServer holder;
        holder.listen(QHostAddress::AnyIPv4, Transfer::Endpoints().servePort);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        SocketEngine::Endpoints endpoints = ConsoleRig::loopbackEndpoints();
        endpoints.listenPort = probe.serverPort();
        probe.close();
        ConsoleRig rig(std::make_unique<MemorySettingsStore>(), endpoints);
        TForm_Parlune &c = *rig.console;
        c.FormCreate();
        QVERIFY(!c.hasClosed());
        QVERIFY(triggerAction(c, QStringLiteral("MenuItem_SendFile")));
        QVERIFY(c.windows().find<TForm_SendFile>());
        QCOMPARE(rig.notices.captions(), QByteArrayList{"Send File"});
        QCOMPARE(rig.notices.shown[0].text, NoticeText::build(u"無法打開文件傳送端口，不能傳送文件!"));
    }

    // Two consoles in turn on one data folder: the rows come back in order with their marks and the tray flashes
    // for the unread ones; the history kept the messages, the bulletin and the notice with their senders.
    void messagesOutliveTheConsole()
    {
        QTemporaryDir home;
        auto rows = [](const MessageTable &table) {
            QList<std::tuple<QByteArray, QByteArray, QByteArray, bool>> list;
            for (int i = 0; i < table.size(); ++i)
                list.append({table.at(i).Nickname, table.at(i).IP, table.at(i).Content, table.at(i).Read});
            return list;
        };
        decltype(rows(MessageTable())) before;
        {
            ConsoleRig rig(std::make_unique<MemorySettingsStore>(), {}, home.path());
            TForm_Parlune &c = *rig.console;
            QVERIFY(rig.startQuietly());
            // The first pops up and is read; the others arrive while the window is open.
            for (const char16_t *text : {u"第一則", u"第二則", u"第三則"})
                c.inboundDispatch().onMessage(Packet::build(
                    Packet::CMD_MESSAGE, {"10.0.0.2", cp950::encode(u"甲"), "12:00", NoticeText::build(text), "0"}));
            c.inboundDispatch().onBulletin(
                Packet::build(Packet::CMD_BULLETIN, {"10.0.0.3", "boss", "12:00", NoticeText::build(u"停電通知")}));
            c.inboundDispatch().onNotice(Packet::build(Packet::CMD_NOTICE, {"caption", NoticeText::build(u"已讀")}));
            before = rows(*c.RxMemoryData_Message);
            QCOMPARE(before.size(), 3);
            QVERIFY(std::get<3>(before.at(0)) && !std::get<3>(before.at(1)));
        }
        ConsoleRig rig(std::make_unique<MemorySettingsStore>(), {}, home.path());
        TForm_Parlune &c = *rig.console;
        QVERIFY(rig.startQuietly());
        QCOMPARE(rows(*c.RxMemoryData_Message), before);
        QVERIFY(c.Timer_Innervation->isActive());
        HistoryStore &history = c.historyStore();
        QCOMPARE(history.count(HistoryStore::Kind::Chat, "10.0.0.2"), 3);
        QCOMPARE(history.search(QStringLiteral("二則")).value(0).nickname, cp950::encode(u"甲"));
        QCOMPARE(history.search(QStringLiteral("停電")).value(0).kind, HistoryStore::Kind::Bulletin);
        QCOMPARE(history.search(QStringLiteral("已讀")).value(0).nickname, QByteArray("caption"));
        QVERIFY(rig.notices.shown.empty());
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
