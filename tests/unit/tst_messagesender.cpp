#include "engine/InetAddr.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/SocketEngine.h"
#include "messages/MessageSender.h"
#include "tests/support/NoticeRecorder.h"

#include <QTcpServer>
#include <QTest>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct RecordingProgress final : SendProgress
{
    int pieces = -1;
    QList<int> steps;
    bool failed = false;
    void beginPieces(int count) override { pieces = count; }
    void setPiece(int piece) override { steps.append(piece); }
    void sendFailed() override { failed = true; }
};

// Accepts one connection and keeps everything that arrives until the peer closes.
// A receiver on a thread of its own, as a real peer is in a process of its own: it can close while the sender
// blocks waiting for that close. It drains each connection and closes it, or discards: closes it unread, which
// resets the connection.
class ThreadedPeer final
{
    Q_DISABLE_COPY_MOVE(ThreadedPeer)

public:
    enum class Manner { Drain, Discard };

    explicit ThreadedPeer(Manner manner = Manner::Drain) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(m_fd, 8) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, manner] { serve(manner); });
    }
    ~ThreadedPeer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }
    QByteArray received() const
    {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }
    int connections() const { return m_connections; }

private:
    static bool readable(int fd, int timeoutMs)
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0;
    }
    void serve(Manner manner)
    {
        while (!m_stop) {
            if (!readable(m_fd, 50))
                continue;
            const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            ++m_connections;
            if (manner == Manner::Discard) {
                readable(connection, 5000);
            } else {
                char buffer[65536];
                for (ssize_t n; (n = ::recv(connection, buffer, sizeof buffer, 0)) > 0;) {
                    const std::lock_guard lock(m_mutex);
                    m_received.append(buffer, n);
                }
            }
            ::close(connection);
        }
    }

    int m_fd;
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

class TestMessageSender final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void inetAddr_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("address");
        QTest::newRow("dotted quad") << QByteArray("192.168.1.20") << true << 0xC0A80114u;
        QTest::newRow("zero") << QByteArray("0.0.0.0") << true << 0u;
        QTest::newRow("two parts") << QByteArray("127.1") << true << 0x7F000001u;
        QTest::newRow("three parts") << QByteArray("10.1.65535") << true << 0x0A01FFFFu;
        QTest::newRow("one part") << QByteArray("3232235777") << true << 0xC0A80101u;
        QTest::newRow("hex and octal") << QByteArray("0x7f.0.010.0X1") << true << 0x7F000801u;
        QTest::newRow("broadcast is the failure value") << QByteArray("255.255.255.255") << false << 0u;
        QTest::newRow("one-part broadcast") << QByteArray("0xffffffff") << false << 0u;
        QTest::newRow("five parts") << QByteArray("1.2.3.4.5") << false << 0u;
        QTest::newRow("empty") << QByteArray() << false << 0u;
        QTest::newRow("empty part") << QByteArray("1..2.3") << false << 0u;
        QTest::newRow("trailing dot") << QByteArray("1.2.3.") << false << 0u;
        QTest::newRow("byte too large") << QByteArray("256.1.1.1") << false << 0u;
        QTest::newRow("last part too large") << QByteArray("1.2.3.256") << false << 0u;
        QTest::newRow("one part too large") << QByteArray("4294967296") << false << 0u;
        QTest::newRow("bad octal digit") << QByteArray("09.1.1.1") << false << 0u;
        QTest::newRow("bare 0x") << QByteArray("0x.1.1.1") << false << 0u;
        QTest::newRow("nickname") << QByteArray("Alice") << false << 0u;
        QTest::newRow("sign") << QByteArray("-1.2.3.4") << false << 0u;
        QTest::newRow("space") << QByteArray("1.2.3.4 ") << false << 0u;
    }
    void inetAddr()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(quint32, address);
        const std::optional<quint32> result = ::inetAddr(text);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(*result, address);
    }

    void pieces_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("pieces");
        QTest::newRow("small") << 100 << 1;
        QTest::newRow("one full piece") << 30000 << 1;
        QTest::newRow("one byte over") << 30001 << 2;
        QTest::newRow("two full pieces") << 60000 << 2;
        QTest::newRow("three") << 60001 << 3;
    }
    void pieces()
    {
        QFETCH(int, bytes);
        QFETCH(int, pieces);
        QCOMPARE(MessageSender::pieceCount(bytes), pieces);

        ThreadedPeer peer;
        NoticeRecorder notices;
        RecordingProgress progress;
        QByteArray packet(bytes, Qt::Uninitialized);
        for (int i = 0; i < bytes; ++i)
            packet[i] = char('a' + i % 26);
        SendOptions options;
        options.port = peer.port();
        // Success is told once the peer has closed, so everything is there.
        QCOMPARE(SendWithProgress("127.0.0.1", packet, notices, &progress, options), 0);
        QCOMPARE(peer.connections(), 1);
        QCOMPARE(peer.received(), packet);
        QCOMPARE(progress.pieces, pieces);
        QList<int> expected;
        for (int i = 1; i <= pieces; ++i)
            expected.append(i);
        QCOMPARE(progress.steps, expected);
        QVERIFY(!progress.failed);
        QVERIFY(notices.shown.isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("closed port") << QByteArray("127.0.0.1");
        QTest::newRow("not an address") << QByteArray("nobody");
        QTest::newRow("broadcast") << QByteArray("255.255.255.255");
    }
    void failures()
    {
        QFETCH(QByteArray, address);
        NoticeRecorder notices;
        RecordingProgress progress;
        SendOptions options;
        options.port = closedPort();
        QCOMPARE(SendWithProgress(address, QByteArray(40000, 'x'), notices, &progress, options), -1);
        QCOMPARE(notices.shown.size(), 1);
        QCOMPARE(notices.shown.at(0).text, NoticeText::build(u"發送失敗，請確認網絡正常且對方在線!"));
        QCOMPARE(notices.shown.at(0).caption, QByteArray("Send Error"));
        QVERIFY(progress.failed);
        QVERIFY(progress.steps.isEmpty());
    }

    // The message window and the engine read an address alike: what one reaches, the other does.
    void bothSendersReadAddressesAlike_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("reaches");
        QTest::newRow("dotted quad") << QByteArray("127.0.0.1") << true;
        QTest::newRow("short, octal and hex") << QByteArray("0x7f.01") << true;
        QTest::newRow("trailing space") << QByteArray("127.0.0.1 ") << false;
        QTest::newRow("nul inside") << QByteArray("127.0.0.1\0", 10) << false;
        QTest::newRow("host name") << QByteArray("localhost") << false;
    }
    void bothSendersReadAddressesAlike()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, reaches);
        const QByteArray packet = Packet::build(Packet::CMD_NOTICE, {"caption", "body"});
        NoticeRecorder notices;
        {
            ThreadedPeer peer;
            SendOptions options;
            options.port = peer.port();
            QCOMPARE(SendWithProgress(address, packet, notices, nullptr, options), reaches ? 0 : -1);
            QCOMPARE(peer.received(), reaches ? packet : QByteArray());
        }
        {
            ThreadedPeer peer;
            SocketEngine::Endpoints endpoints;
            endpoints.directPort = peer.port();
            SocketEngine engine(notices, endpoints, {});
            QCOMPARE(engine.SendDirect(address, packet), reaches ? int(packet.size()) : -1);
            QCOMPARE(peer.received(), reaches ? packet : QByteArray());
        }
        // Only the message window tells of its failure.
        QCOMPARE(notices.shown.size(), reaches ? 0 : 1);
    }

    // A peer that throws the packet away unread (a receiver out of places for this host does) resets the
    // connection: neither sender calls that delivered, though every byte left.
    void discardedPacketFails()
    {
        const QByteArray packet = Packet::build(Packet::CMD_NOTICE, {"caption", "body"});
        NoticeRecorder notices;
        {
            ThreadedPeer peer(ThreadedPeer::Manner::Discard);
            RecordingProgress progress;
            SendOptions options;
            options.port = peer.port();
            QCOMPARE(SendWithProgress("127.0.0.1", packet, notices, &progress, options), -1);
            QVERIFY(progress.failed);
            QCOMPARE(notices.shown.size(), 1);
        }
        ThreadedPeer peer(ThreadedPeer::Manner::Discard);
        SocketEngine::Endpoints endpoints;
        endpoints.directPort = peer.port();
        SocketEngine engine(notices, endpoints, {});
        QCOMPARE(engine.SendDirect("127.0.0.1", packet), -1);
        QCOMPARE(peer.connections(), 1);
    }

    // A peer that accepts and then never reads must not hold the sender for longer than one piece's time-out.
    void stalledPeerFails()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        NoticeRecorder notices;
        RecordingProgress progress;
        SendOptions options;
        options.port = server.serverPort();
        options.pieceTimeoutMs = 300;
        // More than the two sockets' buffers on loopback can hold.
        const QByteArray packet(64 * 1024 * 1024, 'x');
        QCOMPARE(SendWithProgress("127.0.0.1", packet, notices, &progress, options), -1);
        QCOMPARE(notices.shown.size(), 1);
        QVERIFY(progress.failed);
        QVERIFY(progress.steps.size() < progress.pieces);
    }
};

QTEST_GUILESS_MAIN(TestMessageSender)
#include "tst_messagesender.moc"
