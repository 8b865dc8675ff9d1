#include "engine/NoticeSink.h"
#include "engine/Packet.h"
#include "engine/SocketEngine.h"
#include "tests/support/NoticeRecorder.h"

#include <QSet>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

// Non-blocking connects to the listener, each from a loopback address of its own as each host of a segment
// has; true once every one has completed. Nothing accepts meanwhile: the engine's thread is this one,
// standing in for a console blocked in a send of its own.
bool connectAll(std::vector<int> &fds, int count, quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        fds.push_back(fd);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + quint32(i));
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&source), sizeof source) != 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 && errno != EINPROGRESS)
            return false;
    }
    // A handshake the listener dropped is retried after a second, and dropped again while nobody accepts.
    std::vector<pollfd> waiting;
    for (const int fd : fds)
        waiting.push_back({fd, POLLOUT, 0});
    for (int round = 0; round < 100 && !waiting.empty(); ++round) {
        ::poll(waiting.data(), waiting.size(), 100);
        std::erase_if(waiting, [](const pollfd &p) { return p.revents != 0; });
    }
    for (const int fd : fds) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    return waiting.empty();
}

} // namespace

class TestAnswerStorm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One announcement on a busy segment: every listener connects back at about the same time.
    void everyAnswerArrives_data()
    {
        QTest::addColumn<int>("answers");
        QTest::newRow("fifty hosts") << 50;
        QTest::newRow("a nearly full segment") << 250;
    }

    void everyAnswerArrives()
    {
        QFETCH(int, answers);
        NoticeRecorder notices;
        SocketEngine::Endpoints endpoints;
        endpoints.broadcastPort = 0;
        endpoints.listenPort = 0;
        SocketEngine engine(notices, endpoints, {});
        engine.StartSocketEngine();
        QSet<QByteArray> arrived;
        engine.registerAction(
            SocketEngine::Transport::Tcp, Packet::CMD_PRESENCE_REPLY,
            [&arrived](const QByteArray &packet) { arrived.insert(Packet::ExtractField(2, packet)); });

        std::vector<int> fds;
        const bool connected = connectAll(fds, answers, engine.listeningPort());
        QSet<QByteArray> sent;
        for (size_t i = 0; connected && i < fds.size(); ++i) {
            const QByteArray address =
                "10.0." + QByteArray::number(int(i) / 250) + '.' + QByteArray::number(int(i) % 250);
            const QByteArray packet = Packet::build(Packet::CMD_PRESENCE_REPLY, {address, "peer", {}});
            if (::send(fds[i], packet.constData(), size_t(packet.size()), MSG_NOSIGNAL) == packet.size())
                sent.insert(address);
        }
        for (const int fd : fds)
            ::close(fd);
        QVERIFY2(connected, "a connect-back was refused while the console was busy");
        QCOMPARE(sent.size(), answers);

        QTRY_COMPARE_WITH_TIMEOUT(arrived, sent, 20000);
        QCOMPARE(notices.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAnswerStorm)
#include "tst_answerstorm.moc"
