#include "engine/AutomationChannel.h"
#include "engine/MemorySettingsStore.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/TForm_Parlune.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

class SilentSink final : public NoticeSink
{
public:
    void ShowNotice(const QByteArray &, const QByteArray &) override {}
};

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

private Q_SLOTS:
    void init()
    {
        SocketEngine::Endpoints endpoints;
        endpoints.broadcastPort = 0;
        endpoints.listenPort = 0;
        endpoints.broadcastAddress = QHostAddress(QHostAddress::LocalHost);
        console = std::make_unique<TForm_Parlune>(endpoints, std::make_unique<MemorySettingsStore>());
        console->setNoticeSink(&sink);
        channel = std::make_unique<AutomationChannel>(*console, dir.filePath(QStringLiteral("automation")));
        QVERIFY(channel->isListening());
        console->FormCreate();
    }
    void cleanup()
    {
        channel.reset();
        console.reset();
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
        QTRY_VERIFY(console->MenuItem_SLeave->isChecked());
        QVERIFY(client.ask(R"({"cmd":"checked","name":"MenuItem_SLeave"})")[QStringLiteral("checked")].toBool());
        QVERIFY(!client.ask(R"({"cmd":"checked","name":"MenuItem_SOnLine"})")[QStringLiteral("checked")].toBool());
    }

    void sendsThroughTheEngine()
    {
        SocketEngine::Endpoints endpoints;
        endpoints.broadcastPort = 0;
        endpoints.listenPort = 0;
        endpoints.broadcastAddress = QHostAddress(QHostAddress::LocalHost);
        SilentSink silent;
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
        console = std::make_unique<TForm_Parlune>(endpoints, std::make_unique<MemorySettingsStore>());
        console->setNoticeSink(&sink);
        channel = std::make_unique<AutomationChannel>(*console, dir.filePath(QStringLiteral("automation")));
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

private:
    QTemporaryDir dir;
    SilentSink sink;
    std::unique_ptr<TForm_Parlune> console;
    std::unique_ptr<AutomationChannel> channel;
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
