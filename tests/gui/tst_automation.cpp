#include "app/TForm_Parlune.h"
#include "automation/AutomationChannel.h"
#include "engine/FriendTable.h"
#include "engine/MemorySettingsStore.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QVBoxLayout>

#include "tests/support/ConsoleRig.h"
#include "tests/support/NoticeRecorder.h"
#include "widgets/RichEdit.h"

#include <sys/stat.h>

namespace {

struct Client
{
    explicit Client(const QString &path)
    {
        socket.connectToServer(path);
        socket.waitForConnected(5000);
    }

    QJsonObject ask(const QByteArray &line)
    {
        socket.write(line + '\n');
        socket.flush();
        if (!QTest::qWaitFor([this] { return socket.canReadLine(); }, 10000))
            return {};
        return QJsonDocument::fromJson(socket.readLine()).object();
    }

    QLocalSocket socket;
};

} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT

    AutomationChannel::Console consoleParts()
    {
        return {*console, console->socketEngine(), *console->RxMemoryData_Friend, *console->RxMemoryData_Message};
    }
    std::unique_ptr<AutomationChannel> openChannel(const QString &path)
    {
        auto opened = std::make_unique<AutomationChannel>(consoleParts(), path);
        connect(console, &TForm_Parlune::noticeShown, opened.get(), &AutomationChannel::recordNotice);
        return opened;
    }

private Q_SLOTS:
    void init()
    {
        rig = std::make_unique<ConsoleRig>();
        console = rig->console.get();
        channel = openChannel(dir.filePath(QStringLiteral("automation")));
        QVERIFY(channel->isListening());
        console->FormCreate();
    }
    void cleanup()
    {
        channel.reset();
        rig.reset();
        console = nullptr;
    }

    void answersEachRequest_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("ok");
        QTest::newRow("ping") << QByteArray(R"({"cmd":"ping"})") << true;
        QTest::newRow("unknown command") << QByteArray(R"({"cmd":"format disk"})") << false;
        QTest::newRow("not JSON") << QByteArray("ping") << false;
        QTest::newRow("JSON but no object") << QByteArray("[1,2]") << false;
        QTest::newRow("trigger of nothing") << QByteArray(R"({"cmd":"trigger","name":"Nothing"})") << false;
        QTest::newRow("check mark of nothing") << QByteArray(R"({"cmd":"checked","name":"Nothing"})") << false;
        QTest::newRow("click in no window") << QByteArray(R"({"cmd":"click","window":"Nothing"})") << false;
        QTest::newRow("stats") << QByteArray(R"({"cmd":"stats"})") << true;
        QTest::newRow("windows") << QByteArray(R"({"cmd":"windows"})") << true;
        QTest::newRow("timer") << QByteArray(R"({"cmd":"timer","name":"Timer_Refurbish"})") << true;
        QTest::newRow("timer of nothing") << QByteArray(R"({"cmd":"timer","name":"Nothing"})") << false;
    }
    void answersEachRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, ok);
        Client client(dir.filePath(QStringLiteral("automation")));
        const QJsonObject reply = client.ask(request);
        QVERIFY(reply.contains(QStringLiteral("ok")));
        QCOMPARE(reply.value(QStringLiteral("ok")).toBool(), ok);
        if (!ok)
            QVERIFY(!reply.value(QStringLiteral("error")).toString().isEmpty());
    }

    void noticesAsTheUserReadsThem()
    {
        console->ShowNotice(NoticeText::build(u"接收到不明數據包!"), "ERROR MESSAGE");
        console->ShowNotice("plain \xa5\xd2", "\xbb\xb7\xb5{");
        Client client(dir.filePath(QStringLiteral("automation")));
        const QJsonArray notices = client.ask(R"({"cmd":"notices"})").value(QStringLiteral("notices")).toArray();
        QCOMPARE(notices.size(), 2);
        QCOMPARE(notices[0][QStringLiteral("caption")].toString(), QStringLiteral("ERROR MESSAGE"));
        QCOMPARE(notices[0][QStringLiteral("text")].toString().trimmed(), QStringLiteral(u"接收到不明數據包!"));
        QVERIFY(notices[0][QStringLiteral("rtf")].toString().startsWith(QStringLiteral("{\\rtf1")));
        QCOMPARE(notices[1][QStringLiteral("caption")].toString(), QStringLiteral(u"遠程"));
        QCOMPARE(notices[1][QStringLiteral("text")].toString(), QStringLiteral(u"plain 甲"));
    }

    void triggersAndReadsCheckMarks()
    {
        Client client(dir.filePath(QStringLiteral("automation")));
        QVERIFY(client.ask(R"({"cmd":"checked","name":"MenuItem_SOnLine"})")[QStringLiteral("checked")].toBool());
        QVERIFY(client.ask(R"({"cmd":"trigger","name":"MenuItem_SLeave"})")[QStringLiteral("ok")].toBool());
        QTRY_VERIFY(console->findChild<QAction *>(QStringLiteral("MenuItem_SLeave"))->isChecked());
        QVERIFY(client.ask(R"({"cmd":"checked","name":"MenuItem_SLeave"})")[QStringLiteral("checked")].toBool());
        QVERIFY(!client.ask(R"({"cmd":"checked","name":"MenuItem_SOnLine"})")[QStringLiteral("checked")].toBool());
    }

    void sendsThroughTheEngine()
    {
        SocketEngine::Endpoints endpoints = ConsoleRig::loopbackEndpoints();
        NoticeRecorder silent;
        SocketEngine peer(silent, endpoints, {});
        peer.StartSocketEngine();
        QByteArrayList received;
        peer.registerAction(SocketEngine::Transport::Tcp, Packet::CMD_NOTICE,
                            [&received](const QByteArray &p) { received.append(p); });
        endpoints.directPort = peer.listeningPort();
        endpoints.broadcastDestinationPort = peer.broadcastPort();
        peer.registerAction(SocketEngine::Transport::Udp, Packet::CMD_BULLETIN,
                            [&received](const QByteArray &p) { received.append(p); });

        cleanup();
        rig = std::make_unique<ConsoleRig>(std::make_unique<MemorySettingsStore>(), endpoints);
        console = rig->console.get();
        channel = openChannel(dir.filePath(QStringLiteral("automation")));
        console->FormCreate();

        const QByteArray notice = Packet::build(Packet::CMD_NOTICE, {"caption", "body"});
        Client client(dir.filePath(QStringLiteral("automation")));
        const QJsonObject direct =
            client.ask(R"({"cmd":"sendDirect","address":"127.0.0.1","packet":")" + notice.toBase64() + R"("})");
        QCOMPARE(direct[QStringLiteral("result")].toInt(), notice.size());
        QTRY_COMPARE(received, QByteArrayList{notice});

        const QByteArray bulletin = Packet::build(Packet::CMD_BULLETIN, {"10.0.0.9", "name", "12:00", "{\\rtf1}"});
        QVERIFY(client.ask(R"({"cmd":"sendBroadcast","packet":")" + bulletin.toBase64() + R"("})")[QStringLiteral("ok")]
                    .toBool());
        QTRY_COMPARE(received, (QByteArrayList{notice, bulletin}));
    }

    void refusesPathsOthersCouldTamperWith_data()
    {
        QTest::addColumn<QString>("folderMode"); // octal, or "relative"
        QTest::addColumn<bool>("fileInTheWay");
        QTest::addColumn<bool>("listens");
        QTest::newRow("private folder") << QStringLiteral("700") << false << true;
        QTest::newRow("shared sticky folder") << QStringLiteral("1777") << false << true;
        QTest::newRow("shared folder without sticky bit") << QStringLiteral("777") << false << false;
        QTest::newRow("folder of the user's own group") << QStringLiteral("770") << false << false;
        QTest::newRow("a document at the path") << QStringLiteral("700") << true << false;
        QTest::newRow("bare name") << QStringLiteral("relative") << false << false;
    }
    void refusesPathsOthersCouldTamperWith()
    {
        QFETCH(QString, folderMode);
        QFETCH(bool, fileInTheWay);
        QFETCH(bool, listens);
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("f"));
        QVERIFY(QDir().mkdir(folder));
        QString path = folder + QStringLiteral("/automation");
        if (folderMode == QLatin1String("relative"))
            path = QStringLiteral("parlune-automation-test");
        else
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderMode.toUInt(nullptr, 8)), 0);
        if (fileInTheWay) {
            QFile document(path);
            QVERIFY(document.open(QIODevice::WriteOnly));
            document.write("keep me");
        }

        AutomationChannel other(consoleParts(), path);
        QCOMPARE(other.isListening(), listens);
        QCOMPARE(other.refusal().isEmpty(), listens);
        if (fileInTheWay) {
            QFile document(path);
            QVERIFY(document.open(QIODevice::ReadOnly));
            QCOMPARE(document.readAll(), QByteArray("keep me"));
        }
        if (listens) {
            struct stat made
            {
            };
            QCOMPARE(::lstat(QFile::encodeName(path).constData(), &made), 0);
            QVERIFY(S_ISSOCK(made.st_mode));
            QCOMPARE(made.st_mode & 077, 0u);
        }
    }

    // A line longer than any request is not cut into requests at the limit: the client is dropped.
    void dropsAClientWhoseLineIsTooLong()
    {
        Client client(dir.filePath(QStringLiteral("automation")));
        client.socket.write(QByteArray((16 << 20) - 1, ' ') + R"({"cmd":"ping"})" + '\n');
        QTRY_COMPARE_WITH_TIMEOUT(client.socket.state(), QLocalSocket::UnconnectedState, 20000);
        QVERIFY(!client.socket.canReadLine());
        Client next(dir.filePath(QStringLiteral("automation")));
        QVERIFY(next.ask(R"({"cmd":"ping"})")[QStringLiteral("ok")].toBool());
    }

    void describesOpenWindows()
    {
        TestWindow window;
        window.edit->setText(QStringLiteral("甲乙"));
        window.rich->loadRtf("{\\rtf1\\ansi\\ansicpg950 one\\par two}");
        window.button->setEnabled(false);
        Client client(dir.filePath(QStringLiteral("automation")));
        const QJsonArray windows = client.ask(R"({"cmd":"windows"})")[QStringLiteral("windows")].toArray();
        QJsonObject found;
        for (const QJsonValue &w : windows) {
            QVERIFY(w[QStringLiteral("name")].toString() != QLatin1String("Form_Parlune")); // never shown
            if (w[QStringLiteral("name")].toString() == QLatin1String("TestWindow"))
                found = w.toObject();
        }
        QCOMPARE(found[QStringLiteral("title")].toString(), QStringLiteral(u"測試"));
        QCOMPARE(found[QStringLiteral("geometry")][QStringLiteral("width")].toInt(), window.width());
        QHash<QString, QJsonObject> controls;
        for (const QJsonValue &c : found[QStringLiteral("controls")].toArray())
            controls.insert(c[QStringLiteral("name")].toString(), c.toObject());
        QCOMPARE(controls.value(QStringLiteral("FlatEdit_IP"))[QStringLiteral("text")].toString(),
                 QStringLiteral(u"甲乙"));
        QCOMPARE(controls.value(QStringLiteral("suiButton_Send"))[QStringLiteral("enabled")].toBool(), false);
        QCOMPARE(controls.value(QStringLiteral("suiButton_Send"))[QStringLiteral("text")].toString(),
                 QStringLiteral(u"發送"));
        QCOMPARE(controls.value(QStringLiteral("Label_Name"))[QStringLiteral("text")].toString(),
                 QStringLiteral("name"));
        QCOMPARE(controls.value(QStringLiteral("ComboBox_To"))[QStringLiteral("text")].toString(),
                 QStringLiteral("second"));
        QCOMPARE(controls.value(QStringLiteral("CheckBox_Hide"))[QStringLiteral("checked")].toBool(), true);
        const QJsonObject rich = controls.value(QStringLiteral("RxRichEdit_Content"));
        QCOMPARE(rich[QStringLiteral("text")].toString(), QStringLiteral("one\r\ntwo"));
        QVERIFY(rich[QStringLiteral("rtf")].toString().startsWith(QStringLiteral("{\\rtf1")));
        QVERIFY(!controls.contains(QStringLiteral("qt_scrollarea_viewport")));
    }

    void actsOnControlsAsTheUserWould()
    {
        TestWindow window;
        QSignalSpy clicks(window.check, &QAbstractButton::clicked);
        QSignalSpy returns(window.edit, &QLineEdit::returnPressed);
        QSignalSpy shortcut(window.send, &QShortcut::activated);
        Client client(dir.filePath(QStringLiteral("automation")));
        auto ask = [&client](const QString &request) {
            return client.ask(request.toUtf8())[QStringLiteral("ok")].toBool();
        };

        QVERIFY(ask(QStringLiteral(R"({"cmd":"click","window":"TestWindow","control":"CheckBox_Hide"})")));
        QTRY_COMPARE(clicks.size(), 1);
        QVERIFY(!window.check->isChecked());

        QVERIFY(ask(QStringLiteral(
            u"{\"cmd\":\"type\",\"window\":\"TestWindow\",\"control\":\"FlatEdit_IP\",\"text\":\"甲 a😀\\n\"}")));
        QTRY_COMPARE(returns.size(), 1);
        QCOMPARE(window.edit->text(), QStringLiteral(u"甲 a😀"));

        QVERIFY(ask(
            QStringLiteral(R"({"cmd":"type","window":"TestWindow","control":"RxRichEdit_Content","text":"x\ny"})")));
        QTRY_COMPARE(window.rich->plainText(), QStringLiteral("x\r\ny"));
        QVERIFY(ask(QStringLiteral(
            R"({"cmd":"key","window":"TestWindow","control":"RxRichEdit_Content","key":"Ctrl+Return"})")));
        QTRY_COMPARE(shortcut.size(), 1);
        QCOMPARE(window.rich->plainText(), QStringLiteral("x\r\ny"));
        QVERIFY(ask(
            QStringLiteral(R"({"cmd":"key","window":"TestWindow","control":"RxRichEdit_Content","key":"Backspace"})")));
        QTRY_COMPARE(window.rich->plainText(), QStringLiteral("x\r\n"));

        // What the user could not do is refused.
        window.edit->setEnabled(false);
        QVERIFY(!ask(QStringLiteral(R"({"cmd":"type","window":"TestWindow","control":"FlatEdit_IP","text":"z"})")));
        QVERIFY(!ask(QStringLiteral(
            R"({"cmd":"key","window":"TestWindow","control":"RxRichEdit_Content","key":"Hyper+Nothing"})")));
        QVERIFY(!ask(QStringLiteral(R"({"cmd":"click","window":"TestWindow","control":"Nothing"})")));
    }

    void countsDatagrams()
    {
        Client client(dir.filePath(QStringLiteral("automation")));
        const qint64 before = client.ask(R"({"cmd":"stats"})")[QStringLiteral("datagrams")].toInteger();
        QUdpSocket peer;
        const quint16 port = console->socketEngine().broadcastPort();
        QVERIFY(port != 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(peer.writeDatagram(QByteArray("\b10\b"), QHostAddress::LocalHost, port), 4);
        QTRY_COMPARE(client.ask(R"({"cmd":"stats"})")[QStringLiteral("datagrams")].toInteger(), before + 3);
    }

    // The friend table tells when it last changed, as it happened, however late it is asked.
    void stampsTheFriendTablesLastChange()
    {
        Client client(dir.filePath(QStringLiteral("automation")));
        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000;
        console->RxMemoryData_Friend->addIfNew("peer", "10.0.0.9", {});
        const double after = double(QDateTime::currentMSecsSinceEpoch()) / 1000;
        QTest::qWait(50);
        const QJsonObject reply = client.ask(R"({"cmd":"friends"})");
        QCOMPARE(reply[QStringLiteral("friends")].toArray().size(), 1);
        const double stamp = reply[QStringLiteral("changedAt")].toDouble();
        QVERIFY2(stamp >= before - 0.001 && stamp <= after + 0.001, qPrintable(QString::number(stamp, 'f', 3)));
    }

private:
    // A window with one control of each kind the channel describes, named as the windows name theirs.
    struct TestWindow
    {
        TestWindow()
        {
            widget.setObjectName(QStringLiteral("TestWindow"));
            widget.setWindowTitle(QStringLiteral(u"測試"));
            auto *layout = new QVBoxLayout(&widget);
            edit->setObjectName(QStringLiteral("FlatEdit_IP"));
            button->setObjectName(QStringLiteral("suiButton_Send"));
            check->setObjectName(QStringLiteral("CheckBox_Hide"));
            check->setCheckable(true);
            check->setChecked(true);
            label->setObjectName(QStringLiteral("Label_Name"));
            combo->setObjectName(QStringLiteral("ComboBox_To"));
            combo->addItems({QStringLiteral("first"), QStringLiteral("second")});
            combo->setCurrentIndex(1);
            rich->setObjectName(QStringLiteral("RxRichEdit_Content"));
            for (QWidget *w : std::initializer_list<QWidget *>{edit, button, check, label, combo, rich})
                layout->addWidget(w);
            send->setKey(QKeySequence(Qt::CTRL | Qt::Key_Return));
            widget.show();
        }
        int width() const { return widget.width(); }

        QWidget widget;
        QLineEdit *edit = new QLineEdit(&widget);
        QPushButton *button = new QPushButton(QStringLiteral(u"發送"), &widget);
        QPushButton *check = new QPushButton(QStringLiteral("hide"), &widget);
        QLabel *label = new QLabel(QStringLiteral("name"), &widget);
        QComboBox *combo = new QComboBox(&widget);
        RichEdit *rich = new RichEdit(&widget);
        QShortcut *send = new QShortcut(&widget);
    };

    QTemporaryDir dir;
    std::unique_ptr<ConsoleRig> rig;
    TForm_Parlune *console = nullptr;
    std::unique_ptr<AutomationChannel> channel;
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
