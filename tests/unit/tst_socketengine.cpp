#include "engine/ConsoleValues.h"
#include "engine/FriendTable.h"
#include "engine/InetAddr.h"
#include "engine/NetworkProbe.h"
#include "engine/NoticeCoalescer.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/Presence.h"
#include "engine/ReplyQueue.h"
#include "engine/SocketEngine.h"
#include "platform/HostAddress.h"
#include "tests/support/NoticeRecorder.h"

#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

const QByteArray Unrecognised = NoticeText::build(u"接收到無法識別的數據包，請更新程序或聯絡供應商!");
const QByteArray UnknownStream = NoticeText::build(u"接收到不明數據包!");

SocketEngine::Endpoints loopbackEndpoints()
{
    SocketEngine::Endpoints e;
    e.broadcastPort = 0;
    e.listenPort = 0;
    e.broadcastAddress = QHostAddress(QHostAddress::LocalHost);
    return e;
}

// An engine on ephemeral loopback ports that records what it is given.
struct Rig
{
    explicit Rig(SocketEngine::Limits limits = {}, SocketEngine::Endpoints endpoints = loopbackEndpoints())
        : engine(notices, endpoints, limits)
    {
        engine.StartSocketEngine();
        for (int code : {0, 1, 2, 4, 6, 9, 11})
            engine.registerAction(SocketEngine::Transport::Udp, code, [this](const QByteArray &p) { udp.append(p); });
        for (int code : {3, 5, 7, 8, 9, 20})
            engine.registerAction(SocketEngine::Transport::Tcp, code, [this](const QByteArray &p) { tcp.append(p); });
    }

    void sendDatagram(const QByteArray &bytes)
    {
        QUdpSocket sender;
        sender.writeDatagram(bytes, QHostAddress::LocalHost, engine.broadcastPort());
    }

    // Datagrams on loopback keep their order: once a marker is handled, everything before it has been.
    void settleDatagrams()
    {
        const QByteArray marker = Packet::build(Packet::CMD_OFFLINE, {"marker"});
        sendDatagram(marker);
        QTRY_VERIFY(!udp.isEmpty() && udp.back() == marker);
        udp.removeLast();
    }

    // Writes the pieces, half-closes, and waits until the engine has handled the stream and closed it.
    bool sendStream(const QByteArrayList &pieces, bool close = true)
    {
        client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, engine.listeningPort());
        if (!client->waitForConnected(5000))
            return false;
        for (const QByteArray &piece : pieces) {
            client->write(piece);
            if (!client->waitForBytesWritten(5000))
                return false;
            QTest::qWait(10);
        }
        if (!close)
            return true;
        ::shutdown(int(client->socketDescriptor()), SHUT_WR);
        return QTest::qWaitFor([this] { return client->state() == QAbstractSocket::UnconnectedState; }, 10000);
    }

    NoticeRecorder notices;
    SocketEngine engine;
    QByteArrayList udp;
    QByteArrayList tcp;
    std::unique_ptr<QTcpSocket> client;
};

QByteArray framed(int code, const QByteArray &body = "x")
{
    return Packet::build(code, {"10.0.0.9", body});
}

// A connection to the engine from a loopback address of choice; nothing written yet.
std::unique_ptr<QTcpSocket> connectFrom(const char *source, quint16 port)
{
    auto client = std::make_unique<QTcpSocket>();
    client->bind(QHostAddress(QString::fromLatin1(source)), 0);
    client->connectToHost(QHostAddress::LocalHost, port);
    client->waitForConnected(5000);
    return client;
}

// An engine that answers a receiver rig on this host, as a peer on the segment would be answered.
SocketEngine::Endpoints answering(const Rig &receiver)
{
    SocketEngine::Endpoints endpoints = loopbackEndpoints();
    endpoints.directPort = const_cast<Rig &>(receiver).engine.listeningPort();
    endpoints.repliesToLoopback = true;
    return endpoints;
}

// A listener whose accept queue is full: further connects are neither accepted nor refused.
struct SilentListener
{
    SilentListener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd, 0);
        socklen_t length = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length);
        port = ntohs(a.sin_port);
        filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    ~SilentListener()
    {
        ::close(filler);
        ::close(fd);
    }
    int fd = -1;
    int filler = -1;
    quint16 port = 0;
};

// A socket standing for the hosts at one address, on the port broadcasts go to.
struct Listener
{
    Listener(const QHostAddress &address, quint16 port) { bound = socket.bind(address, port); }

    // Every datagram up to a marker sent to it now, so that what has not come by then never will.
    QByteArrayList received()
    {
        const QByteArray marker("marker");
        QUdpSocket().writeDatagram(marker, socket.localAddress(), socket.localPort());
        QByteArrayList all;
        const bool complete = QTest::qWaitFor([&] {
            while (socket.hasPendingDatagrams()) {
                QByteArray d(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(d.data(), d.size());
                all.append(d);
            }
            return !all.isEmpty() && all.back() == marker;
        });
        if (complete)
            all.removeLast();
        else
            all.append("the marker never came");
        return all;
    }

    QUdpSocket socket;
    bool bound = false;
};

} // namespace

class TestSocketEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noticeTextBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QByteArray>("body");
        const int sans = int(NoticeText::Frame::SansSerif8);
        const int ming = int(NoticeText::Frame::Ming10);
        QTest::newRow("start") << QStringLiteral(u"套接字啟動失敗!") << sans
                               << QByteArray(R"(\'ae\'4d\'b1\'b5\'a6\'72\'b1\'d2\'b0\'ca\'a5\'a2\'b1\'d1!\par)");
        QTest::newRow("bind") << QStringLiteral(u"發送方套按字綁定失敗!") << sans
                              << QByteArray(R"(\'b5\'6f\'b0\'65\'a4\'e8\'ae\'4d\'ab\'f6\'a6\'72\'b8\'6a\'a9\'77\'a5)"
                                            R"(\'a2\'b1\'d1!\par)");
        QTest::newRow("ascii inside") << QStringLiteral(u"無法進行UDP廣播!") << sans
                                      << QByteArray(R"(\'b5\'4c\'aa\'6b\'b6\'69\'a6\'e6UDP\'bc\'73\'bc\'bd!\par)");
        QTest::newRow("two lines") << QStringLiteral(u"套接字創建失敗!\n請檢查網絡是否正常!") << sans
                                   << QByteArray(R"(\'ae\'4d\'b1\'b5\'a6\'72\'b3\'d0\'ab\'d8\'a5\'a2\'b1\'d1!\par)"
                                                 R"(\'bd\'d0\'c0\'cb\'ac\'64\'ba\'f4\'b5\'b8\'ac\'4f\'a7\'5f\'a5\'bf)"
                                                 R"(\'b1\'60!\par)");
        QTest::newRow("broadcast failed")
            << QStringLiteral(u"套接字創建失敗，請檢查網絡是否正常!然後使用主菜單的《刷新》功能重新取得好友資料。")
            << sans
            << QByteArray(R"(\'ae\'4d\'b1\'b5\'a6\'72\'b3\'d0\'ab\'d8\'a5\'a2\'b1\'d1\'a1\'41\'bd\'d0\'c0\'cb\'ac)"
                          R"(\'64\'ba\'f4\'b5\'b8\'ac\'4f\'a7\'5f\'a5\'bf\'b1\'60!\'b5\'4d\'ab\'e1\'a8\'cf\'a5\'ce)"
                          R"(\'a5\'44\'b5\'e6\'b3\'e6\'aa\'ba\'a1\'6d\'a8\'ea\'b7\'73\'a1\'6e\'a5\'5c\'af\'e0\'ad)"
                          R"(\'ab\'b7\'73\'a8\'fa\'b1\'6f\'a6\'6e\'a4\'cd\'b8\'ea\'ae\'c6\'a1\'43\par)");
        QTest::newRow("unrecognised")
            << QStringLiteral(u"接收到無法識別的數據包，請更新程序或聯絡供應商!") << sans
            << QByteArray(R"(\'b1\'b5\'a6\'ac\'a8\'ec\'b5\'4c\'aa\'6b\'c3\'d1\'a7\'4f\'aa\'ba\'bc\'c6\'be\'da\'a5)"
                          R"(\'5d\'a1\'41\'bd\'d0\'a7\'f3\'b7\'73\'b5\'7b\'a7\'c7\'a9\'ce\'c1\'70\'b5\'b8\'a8\'d1)"
                          R"(\'c0\'b3\'b0\'d3!\par)");
        QTest::newRow("ming frame") << QStringLiteral(u"密碼錯誤!") << ming
                                    << QByteArray(R"(\'b1\'4b\'bd\'58\'bf\'f9\'bb\'7e!\par)");
        // A control word swallows one space and runs on through letters, digits and a leading '-'.
        QTest::newRow("ascii line start") << QStringLiteral(u"甲\nWin\n-5\n 2\n!") << sans
                                          << QByteArray(R"(\'a5\'d2\par Win\par -5\par  2\par!\par)");
        QTest::newRow("ascii text start") << QStringLiteral(u"OK") << sans << QByteArray(R"( OK\par)");
        // 無 = b5 4c, 功 = a5 5c: trail bytes in the ASCII range are escaped as well.
        QTest::newRow("trail byte in ascii range")
            << QStringLiteral(u"無A!") << sans << QByteArray(R"(\'b5\'4cA!\par)");
        QTest::newRow("trail byte is a backslash") << QStringLiteral(u"功") << ming << QByteArray(R"(\'a5\'5c\par)");
        QTest::newRow("latin start and braces") << QStringLiteral(u"a{b}\\") << sans << QByteArray(R"( a\{b\}\\\par)");
        QTest::newRow("rtf specials") << QStringLiteral(u"甲{\\}") << sans << QByteArray(R"(\'a5\'d2\{\\\}\par)");
        QTest::newRow("outside code page")
            << QStringLiteral(u"甲€😀") << sans << QByteArray(R"(\'a5\'d2\'a3\'e1\u-10179?\u-8704?\par)");
        QTest::newRow("trailing break, CR LF")
            << QStringLiteral(u"甲\r\n乙\r\n") << sans << QByteArray(R"(\'a5\'d2\par\'a4\'41\par)");
    }
    void noticeTextBytes()
    {
        QFETCH(QString, text);
        QFETCH(int, frame);
        QFETCH(QByteArray, body);
        const QByteArray prefix =
            frame == int(NoticeText::Frame::Ming10)
                ? QByteArray(R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                             R"(\'b2\'d3\'a9\'fa\'c5\'e9;}}\viewkind4\uc1\pard\lang1028\f0\fs20)")
                : QByteArray(R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                             R"(MS Sans Serif;}}\viewkind4\uc1\pard\lang1028\f0\fs16)");
        QCOMPARE(NoticeText::build(text, NoticeText::Frame(frame)), prefix + body + "}");
    }

    // The transport rule lives in the table: an action for the wrong transport is refused.
    void wrongTransportRefused()
    {
        using T = SocketEngine::Transport;
        NoticeRecorder sink;
        SocketEngine engine(sink);
        QVERIFY(!engine.registerAction(T::Udp, Packet::CMD_REMOTE_SHUTDOWN, [](const QByteArray &) {}));
        QVERIFY(!engine.registerAction(T::Tcp, Packet::CMD_BROADCAST, [](const QByteArray &) {}));
    }

    void datagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("dispatched");
        QTest::addColumn<bool>("unrecognised");
        QTest::newRow("framed") << framed(4) << true << false;
        QTest::newRow("first byte only") << QByteArray("\x08"
                                                       "4\x08"
                                                       "10.0.0.9\x08"
                                                       "open")
                                         << true << false;
        QTest::newRow("last byte only") << QByteArray("junk\x08"
                                                      "6\x08")
                                        << true << false;
        QTest::newRow("neither end") << QByteArray("4\x08"
                                                   "x")
                                     << false << false;
        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("command not a number") << QByteArray("\x08"
                                                            "x4\x08")
                                              << false << true;
        QTest::newRow("empty command") << QByteArray("\x08\x08") << false << true;
        QTest::newRow("last byte only, no command") << QByteArray("4\x08"
                                                                  "a\x08")
                                                    << false << true;
        QTest::newRow("tcp-only code") << framed(Packet::CMD_REMOTE_SHUTDOWN) << false << false;
        QTest::newRow("unused code 10") << framed(10) << false << false;
        QTest::newRow("negative code") << framed(-1) << false << false;
        QTest::newRow("30000 bytes") << framed(4, QByteArray(30000 - 13, 'a')) << true << false;
        QTest::newRow("30001 bytes lost") << framed(4, QByteArray(30001 - 13, 'a')) << false << false;
    }
    void datagrams()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, dispatched);
        QFETCH(bool, unrecognised);
        Rig rig;
        rig.sendDatagram(datagram);
        rig.settleDatagrams();
        QCOMPARE(rig.udp, dispatched ? QByteArrayList{datagram} : QByteArrayList{});
        QCOMPARE(rig.notices.shown.size(), qsizetype(unrecognised));
        if (unrecognised) {
            QCOMPARE(rig.notices.shown[0].text, Unrecognised);
            QCOMPARE(rig.notices.shown[0].caption, QByteArray("ERROR MESSAGE"));
        }
    }

    void streams_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<bool>("dispatched");
        QTest::addColumn<QByteArray>("notice");
        const QByteArray message =
            Packet::build(Packet::CMD_MESSAGE, {"10.0.0.9", "nick", "12:00", "{\\rtf1 hi}", "0"});
        QTest::newRow("framed") << QByteArrayList{message} << true << QByteArray();
        QTest::newRow("several writes") << QByteArrayList{message.left(5), message.mid(5, 9), message.mid(14)} << true
                                        << QByteArray();
        QTest::newRow("connect and close") << QByteArrayList{} << false << UnknownStream;
        QTest::newRow("begins only") << QByteArrayList{"\x08"
                                                       "5\x08"
                                                       "a"}
                                     << false << UnknownStream;
        QTest::newRow("ends only") << QByteArrayList{"5\x08"
                                                     "a\x08"}
                                   << false << UnknownStream;
        QTest::newRow("command not a number") << QByteArrayList{"\x08"
                                                                "five\x08"}
                                              << false << Unrecognised;
        QTest::newRow("udp-only code") << QByteArrayList{framed(Packet::CMD_BROADCAST)} << false << QByteArray();
        QTest::newRow("code 12") << QByteArrayList{framed(12)} << false << QByteArray();
        QTest::newRow("file transfer") << QByteArrayList{framed(Packet::CMD_FILE_TRANSFER)} << true << QByteArray();
        QTest::newRow("nul bytes travel") << QByteArrayList{framed(3, QByteArray("B\0M", 3))} << true << QByteArray();
    }
    void streams()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(bool, dispatched);
        QFETCH(QByteArray, notice);
        Rig rig;
        QVERIFY(rig.sendStream(pieces));
        QCOMPARE(rig.tcp, dispatched ? QByteArrayList{pieces.join()} : QByteArrayList{});
        QCOMPARE(rig.notices.shown.size(), qsizetype(!notice.isEmpty()));
        if (!notice.isEmpty()) {
            QCOMPARE(rig.notices.shown[0].text, notice);
            QCOMPARE(rig.notices.shown[0].caption, QByteArray("ERROR MESSAGE"));
        }
        QCOMPARE(rig.engine.openStreamCount(), 0);
    }

    // A stream is judged when it stalls as when it closes; one that outgrows its bound is dropped.
    void streamBounds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("dispatched");
        QTest::newRow("stalled, framed") << framed(8) << true;
        QTest::newRow("stalled, cut") << QByteArray("\x08"
                                                    "8\x08"
                                                    "cap")
                                      << false;
        QTest::newRow("too long") << framed(8, QByteArray(2000, 'a')) << false;
    }
    void streamBounds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, dispatched);
        SocketEngine::Limits limits;
        limits.streamIdleTimeout = 200ms;
        limits.maxStreamBytes = 1000;
        Rig rig(limits);
        QVERIFY(rig.sendStream({bytes}, false));
        QTRY_COMPARE(rig.client->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(rig.tcp, dispatched ? QByteArrayList{bytes} : QByteArrayList{});
        QCOMPARE(rig.notices.shown.size(), qsizetype(!dispatched));
        if (!dispatched)
            QCOMPARE(rig.notices.shown[0].text, UnknownStream);
    }

    // Beyond the overall bound, or beyond a source's share, a connection waits unread for a place, in arrival
    // order (o open, w waiting); beyond the places to wait it is accepted and closed at once (r). The listener
    // never pauses, so other hosts still get through, and every connection kept delivers its packet.
    void openStreamsBounded_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("perSource");
        QTest::addColumn<int>("waitingPerSource");
        QTest::addColumn<QByteArrayList>("sources");
        QTest::addColumn<QByteArray>("fates");
        const QByteArrayList three{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
        const QByteArrayList oneHost{"127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.2"};
        QTest::newRow("overall") << 2 << 4 << 0 << three << QByteArray("oor");
        QTest::newRow("overall, waiting") << 2 << 4 << 1 << three << QByteArray("oow");
        QTest::newRow("per source") << 32 << 2 << 0 << oneHost << QByteArray("oorro");
        QTest::newRow("per source, waiting") << 32 << 2 << 1 << oneHost << QByteArray("oowro");
    }
    void openStreamsBounded()
    {
        QFETCH(int, total);
        QFETCH(int, perSource);
        QFETCH(int, waitingPerSource);
        QFETCH(QByteArrayList, sources);
        QFETCH(QByteArray, fates);
        SocketEngine::Limits limits;
        limits.maxOpenStreams = total;
        limits.maxStreamsPerSource = perSource;
        limits.maxWaitingPerSource = waitingPerSource;
        Rig rig(limits);
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (const QByteArray &source : sources) {
            clients.push_back(connectFrom(source.constData(), rig.engine.listeningPort()));
            QVERIFY(clients.back()->state() == QAbstractSocket::ConnectedState);
            QTRY_COMPARE(rig.engine.openStreamCount() + rig.engine.waitingStreamCount() +
                             int(rig.engine.refusedStreamCount()),
                         int(clients.size()));
        }
        QCOMPARE(rig.engine.openStreamCount(), int(fates.count('o')));
        QCOMPARE(rig.engine.waitingStreamCount(), int(fates.count('w')));
        const int keptCount = int(fates.size() - fates.count('r'));
        for (qsizetype i = 0; i < fates.size(); ++i) {
            if (fates[i] == 'r')
                QTRY_COMPARE(clients[i]->state(), QAbstractSocket::UnconnectedState);
        }
        // The waiting ones write first and are answered last.
        QByteArrayList expected;
        for (char fate : {'w', 'o'}) {
            for (qsizetype i = 0; i < fates.size(); ++i) {
                if (fates[i] != fate)
                    continue;
                QCOMPARE(clients[i]->state(), QAbstractSocket::ConnectedState);
                clients[i]->write(framed(8, QByteArray::number(i)));
                clients[i]->waitForBytesWritten(5000);
                clients[i]->disconnectFromHost();
                expected.append(framed(8, QByteArray::number(i)));
            }
        }
        QTRY_COMPARE(rig.tcp.size(), keptCount);
        QTRY_COMPARE(rig.engine.openStreamCount(), 0);
        QCOMPARE(rig.engine.waitingStreamCount(), 0);
        std::sort(expected.begin(), expected.end());
        QByteArrayList arrived = rig.tcp;
        std::sort(arrived.begin(), arrived.end());
        QCOMPARE(arrived, expected);
        // A refused connection is no packet: nothing to tell.
        QVERIFY(rig.notices.shown.empty());

        // The freed places take new streams again.
        QVERIFY(rig.sendStream({framed(8)}));
        QCOMPARE(rig.tcp.size(), keptCount + 1);
    }

    // The connection is closed before its packet acts: a sender waiting for the close is not held by an action
    // that takes its time.
    void closedBeforeThePacketActs()
    {
        Rig rig;
        bool closedFirst = false;
        rig.engine.registerAction(SocketEngine::Transport::Tcp, 8, [&](const QByteArray &) {
            closedFirst =
                QTest::qWaitFor([&] { return rig.client->state() == QAbstractSocket::UnconnectedState; }, 2000);
        });
        QVERIFY(rig.sendStream({framed(8)}));
        QVERIFY(closedFirst);
    }

    // One host sending a burst of packets, each on a connection of its own written and closed at once, as the
    // message window does: every one the sender saw accepted acts, as long as the places to wait last.
    void burstFromOneHostKeepsEveryPacket()
    {
        Rig rig;
        QByteArrayList sent;
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        const SocketEngine::Limits limits;
        for (int i = 0; i < limits.maxStreamsPerSource + limits.maxWaitingPerSource; ++i) {
            clients.push_back(connectFrom("127.0.0.1", rig.engine.listeningPort()));
            sent.append(framed(8, QByteArray::number(i)));
            clients.back()->write(sent.back());
            clients.back()->waitForBytesWritten(5000);
            clients.back()->disconnectFromHost();
        }
        QTRY_COMPARE(rig.tcp.size(), sent.size());
        QCOMPARE(rig.engine.refusedStreamCount(), quint64(0));
        QByteArrayList arrived = rig.tcp;
        std::sort(arrived.begin(), arrived.end());
        std::sort(sent.begin(), sent.end());
        QCOMPARE(arrived, sent);
    }

    // The streams of one source together get a share of the buffer, not all of it.
    void sourceShareOfBuffer()
    {
        SocketEngine::Limits limits;
        limits.maxSourceBytes = 1000;
        Rig rig(limits);
        auto first = connectFrom("127.0.0.1", rig.engine.listeningPort());
        auto second = connectFrom("127.0.0.1", rig.engine.listeningPort());
        auto other = connectFrom("127.0.0.2", rig.engine.listeningPort());
        QTRY_COMPARE(rig.engine.openStreamCount(), 3);
        const QByteArray packet = framed(8, QByteArray(600, 'a'));
        for (auto *client : {first.get(), second.get(), other.get()}) {
            client->write(packet);
            client->waitForBytesWritten(5000);
            QTest::qWait(50);
        }
        // The second stream of the first source is cut off; the other source is not charged for it.
        QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
        for (auto *client : {first.get(), other.get()})
            client->disconnectFromHost();
        QTRY_COMPARE(rig.tcp.size(), 2);
        QTRY_COMPARE(rig.engine.openStreamCount(), 0);
        QCOMPARE(rig.notices.shown.size(), qsizetype(1));
        QCOMPARE(rig.notices.shown[0].text, UnknownStream);
    }

    // Closing while connections are open, half-written or mid-drain drops them without a word and without
    // touching what is already gone; the engine can then be destroyed.
    void closeWithStreamsDraining()
    {
        auto rig = std::make_unique<Rig>();
        auto idle = connectFrom("127.0.0.1", rig->engine.listeningPort());
        auto half = connectFrom("127.0.0.2", rig->engine.listeningPort());
        half->write(QByteArray("\x08"
                               "5\x08"
                               "10.0.0.9\x08") +
                    QByteArray(100000, 'a'));
        half->waitForBytesWritten(5000);
        QTRY_COMPARE(rig->engine.openStreamCount(), 2);
        QTest::qWait(50);
        rig->engine.CloseSockets();
        QCOMPARE(rig->engine.openStreamCount(), 0);
        QCOMPARE(rig->engine.listeningPort(), 0);
        rig.reset();
        QTRY_COMPARE(idle->state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(half->state(), QAbstractSocket::UnconnectedState);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Out of descriptors, the listener stops accepting; it must take connections again once they free.
    void acceptRecoversFromError()
    {
        SocketEngine::Limits limits;
        limits.acceptRetryDelay = 100ms;
        Rig rig(limits);
        // The connection is made by the kernel and waits in the backlog; accepting it needs a descriptor.
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, rig.engine.listeningPort());
        QVERIFY(client->waitForConnected(5000));

        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        rlimit lowered = saved;
        lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &lowered) == 0);
        std::vector<int> fillers;
        int fd = -1;
        while ((fd = ::dup(0)) >= 0)
            fillers.push_back(fd);
        const int failure = errno;
        // Let the engine meet the full table, and give a listener that paused for good time to show it.
        QTest::qWait(300);
        const int openWhileFull = rig.engine.openStreamCount();
        for (const int filler : fillers)
            ::close(filler);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(failure, EMFILE);
        QCOMPARE(openWhileFull, 0);

        client->write(framed(8));
        client->waitForBytesWritten(5000);
        client->disconnectFromHost();
        QTRY_COMPARE(rig.tcp, QByteArrayList{framed(8)});
    }

    // Repeats of a notice are counted and summed up once per window, not shown one by one.
    void noticeFloodsCoalesce_data()
    {
        QTest::addColumn<bool>("datagrams");
        QTest::newRow("one-byte datagrams") << true;
        QTest::newRow("port scan") << false;
    }
    void noticeFloodsCoalesce()
    {
        QFETCH(bool, datagrams);
        SocketEngine::Limits limits;
        limits.noticeWindow = 300ms;
        Rig rig(limits);
        const int count = 40;
        QElapsedTimer flooding;
        flooding.start();
        for (int i = 0; i < count; ++i) {
            if (datagrams)
                rig.sendDatagram("\x08");
            else
                QVERIFY(rig.sendStream({}));
        }
        if (datagrams)
            rig.settleDatagrams();
        // One summary per window that saw repeats, and one for the window still open; a coarse timer may
        // end a window a little early.
        const qsizetype allowed = 2 + qsizetype(flooding.elapsed() / 270);
        const QString text = datagrams ? QStringLiteral(u"接收到無法識別的數據包，請更新程序或聯絡供應商!")
                                       : QStringLiteral(u"接收到不明數據包!");
        QVERIFY(!rig.notices.shown.empty());
        QCOMPARE(rig.notices.shown[0].text, NoticeText::build(text));
        // Everything after the first lands in summaries, whose counts add up.
        QTRY_VERIFY_WITH_TIMEOUT(rig.notices.shown.size() >= 2, 5000);
        QTest::qWait(700);
        QVERIFY(rig.notices.shown.size() <= allowed);
        int summed = 0;
        for (qsizetype i = 1; i < rig.notices.shown.size(); ++i) {
            QCOMPARE(rig.notices.shown[i].caption, QByteArray("ERROR MESSAGE"));
            for (int n = 1; n < count; ++n) {
                if (rig.notices.shown[i].text == NoticeText::build(NoticeCoalescer::repeatedText(text, n)))
                    summed += n;
            }
        }
        QCOMPARE(summed, count - 1);

        // Once quiet for a window, the next one is shown at once again.
        const qsizetype before = rig.notices.shown.size();
        QTest::qWait(400);
        if (datagrams) {
            rig.sendDatagram("\x08");
            rig.settleDatagrams();
        } else {
            QVERIFY(rig.sendStream({}));
        }
        QCOMPARE(rig.notices.shown.size(), before + 1);
        QCOMPARE(rig.notices.shown.back().text, NoticeText::build(text));
    }

    void replyAddresses_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("parsed");
        QTest::newRow("plain") << QByteArray("10.0.0.9") << true;
        QTest::newRow("part too large") << QByteArray("10.0.0.256") << false;
        QTest::newRow("four digits") << QByteArray("10.0.0.0001") << false;
        QTest::newRow("leading zero") << QByteArray("10.0.0.010") << false;
        QTest::newRow("hex") << QByteArray("0x7f.0.0.1") << false;
        QTest::newRow("short form") << QByteArray("127.1") << false;
        QTest::newRow("trailing dot") << QByteArray("1.2.3.4.") << false;
        QTest::newRow("trailing space") << QByteArray("1.2.3.4 ") << false;
        QTest::newRow("name") << QByteArray("localhost") << false;
        QTest::newRow("nul inside") << QByteArray("1.2.3.4\0", 8) << false;
    }
    void replyAddresses()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, parsed);
        const std::optional<quint32> read = ReplyQueue::parseDottedQuad(address);
        QCOMPARE(read.has_value(), parsed);
        if (parsed)
            QCOMPARE(*read, QHostAddress(QString::fromLatin1(address)).toIPv4Address());
    }

    // Only a plain address of another host is answered; the rest is dropped before any connect.
    void repliesOnlyToOtherHosts_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("loopbackAllowed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("loopback let through") << QByteArray("127.0.0.1") << true << true;
        QTest::newRow("loopback") << QByteArray("127.0.0.1") << false << false;
        QTest::newRow("loopback, elsewhere") << QByteArray("127.9.9.9") << false << false;
        QTest::newRow("limited broadcast") << QByteArray("255.255.255.255") << true << false;
        QTest::newRow("multicast") << QByteArray("224.0.0.1") << true << false;
        QTest::newRow("this network") << QByteArray("0.0.0.0") << true << false;
    }
    void repliesOnlyToOtherHosts()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, loopbackAllowed);
        QFETCH(bool, taken);
        Rig receiver;
        SocketEngine::Endpoints endpoints = answering(receiver);
        endpoints.repliesToLoopback = loopbackAllowed;
        NoticeRecorder sink;
        SocketEngine sender(sink, endpoints, {});
        const QByteArray packet = framed(Packet::CMD_NOTICE);
        sender.SendReply(address, packet, PacketTransport::ReplyKind::Answer);
        const ReplyQueue &queue = sender.replyQueue();
        QCOMPARE(queue.queued() + queue.inFlight(), int(taken));
        if (taken)
            QTRY_COMPARE(receiver.tcp, QByteArrayList{packet});
        QVERIFY(sink.shown.empty());
    }

    // This host's own addresses and its segments' broadcast addresses are never answered.
    void repliesNotToThisHost()
    {
        QByteArrayList own;
        for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
            for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
                if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol || entry.ip().isLoopback())
                    continue;
                own.append(entry.ip().toString().toLatin1());
                if (!entry.broadcast().isNull())
                    own.append(entry.broadcast().toString().toLatin1());
            }
        }
        if (own.isEmpty())
            QSKIP("no network interface besides loopback");
        NoticeRecorder sink;
        SocketEngine sender(sink, loopbackEndpoints(), {});
        for (const QByteArray &address : own)
            sender.SendReply(address, framed(Packet::CMD_NOTICE), PacketTransport::ReplyKind::Presence);
        QCOMPARE(sender.replyQueue().queued() + sender.replyQueue().inFlight(), 0);
    }

    // An answer to a peer that never accepts is under way after the call, not finished inside it, and
    // gives up after the connect bound; the queue behind it stays bounded.
    void repliesNeverWait()
    {
        SilentListener silent;
        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        endpoints.directPort = silent.port;
        endpoints.repliesToLoopback = true;
        SocketEngine::Limits limits;
        limits.connectTimeout = 300ms;
        limits.maxRepliesInFlight = 2;
        limits.maxQueuedReplies = 3;
        NoticeRecorder sink;
        SocketEngine sender(sink, endpoints, limits);
        for (int i = 0; i < 10; ++i)
            sender.SendReply("127.0.0.1", framed(Packet::CMD_NOTICE), PacketTransport::ReplyKind::Answer);
        const ReplyQueue &queue = sender.replyQueue();
        QCOMPARE(queue.inFlight(), 2);
        QCOMPARE(queue.queued(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(queue.inFlight() + queue.queued(), 0, 10000);
        QCOMPARE(queue.delivered(), quint64(0));
        QVERIFY(sink.shown.empty());
    }

    // Presence answers to one destination are spaced; the newest waiting one goes, the ones between are
    // replaced. Other answers are not spaced.
    void presenceRepliesSpaced()
    {
        Rig receiver;
        SocketEngine::Limits limits;
        limits.presenceReplyInterval = 400ms;
        NoticeRecorder sink;
        SocketEngine sender(sink, answering(receiver), limits);
        using Kind = PacketTransport::ReplyKind;
        const QByteArray first = Packet::build(Packet::CMD_PRESENCE_REPLY, {"127.0.0.1", "one"});
        const QByteArray newest = Packet::build(Packet::CMD_PRESENCE_REPLY, {"127.0.0.1", "three"});
        sender.SendReply("127.0.0.1", first, Kind::Presence);
        QTRY_COMPARE(receiver.tcp, QByteArrayList{first});
        sender.SendReply("127.0.0.1", Packet::build(Packet::CMD_PRESENCE_REPLY, {"127.0.0.1", "two"}), Kind::Presence);
        sender.SendReply("127.0.0.1", newest, Kind::Presence);
        const QByteArray answer = framed(Packet::CMD_NOTICE);
        sender.SendReply("127.0.0.1", answer, Kind::Answer);
        QTRY_COMPARE(receiver.tcp, (QByteArrayList{first, answer}));
        QCOMPARE(sender.replyQueue().queued(), 1);
        QTRY_COMPARE(receiver.tcp, (QByteArrayList{first, answer, newest}));
        QCOMPARE(sender.replyQueue().delivered(), quint64(3));
    }

    // At the close the queued answers still go (a power-off answer must reach its requester), but no
    // presence answer: the goodbye has been broadcast already.
    void closeDeliversQueuedAnswers()
    {
        Rig receiver;
        SocketEngine::Limits limits;
        limits.maxRepliesInFlight = 1;
        NoticeRecorder sink;
        auto sender = std::make_unique<SocketEngine>(sink, answering(receiver), limits);
        sender->StartSocketEngine();
        QByteArrayList answers;
        for (int i = 0; i < 3; ++i) {
            answers.append(framed(Packet::CMD_NOTICE, QByteArray::number(i)));
            sender->SendReply("127.0.0.1", answers.back(), PacketTransport::ReplyKind::Answer);
        }
        sender->SendReply("127.0.0.1", framed(Packet::CMD_PRESENCE_REPLY), PacketTransport::ReplyKind::Presence);
        sender->CloseSockets();
        sender.reset();
        QTRY_COMPARE(receiver.tcp.size(), 3);
        std::sort(receiver.tcp.begin(), receiver.tcp.end());
        QCOMPARE(receiver.tcp, answers);
        QTest::qWait(200);
        QCOMPARE(receiver.tcp.size(), 3);
    }

    void failingActionKeepsEarlierEffects_data()
    {
        QTest::addColumn<bool>("udp");
        QTest::newRow("datagram") << true;
        QTest::newRow("stream") << false;
    }
    void failingActionKeepsEarlierEffects()
    {
        QFETCH(bool, udp);
        Rig rig;
        QByteArrayList stored;
        auto failing = [&stored](const QByteArray &packet) {
            stored.append(packet);
            throw std::runtime_error("broken");
        };
        const QByteArray packet = framed(9);
        if (udp) {
            rig.engine.registerAction(SocketEngine::Transport::Udp, Packet::CMD_GAME, failing);
            rig.sendDatagram(packet);
            rig.settleDatagrams();
        } else {
            rig.engine.registerAction(SocketEngine::Transport::Tcp, Packet::CMD_GAME, failing);
            QVERIFY(rig.sendStream({packet}));
        }
        QCOMPARE(stored, QByteArrayList{packet});
        QCOMPARE(rig.notices.shown.size(), qsizetype(1));
        QCOMPARE(rig.notices.shown[0].text, Unrecognised);
        QCOMPARE(rig.notices.shown[0].caption, QByteArray("ERROR MESSAGE"));
    }

    // The game's play trusts a direct packet only from the host its connection comes from.
    void actionsSeeTheConnectionsAddress()
    {
        Rig rig;
        QByteArrayList peers;
        const auto record = [&](const QByteArray &) { peers.append(rig.engine.dispatchedPeerAddress()); };
        rig.engine.registerAction(SocketEngine::Transport::Tcp, Packet::CMD_GAME, record);
        rig.engine.registerAction(SocketEngine::Transport::Udp, Packet::CMD_GAME, record);
        for (const char *source : {"127.0.0.7", "127.0.0.8"}) {
            auto client = connectFrom(source, rig.engine.listeningPort());
            QVERIFY(client->state() == QAbstractSocket::ConnectedState);
            client->write(framed(9));
            QVERIFY(client->waitForBytesWritten(5000));
            ::shutdown(int(client->socketDescriptor()), SHUT_WR);
            const qsizetype before = peers.size();
            QTRY_COMPARE(peers.size(), before + 1);
        }
        rig.sendDatagram(framed(9));
        QTRY_COMPARE(peers.size(), 3);
        QCOMPARE(peers, (QByteArrayList{"127.0.0.7", "127.0.0.8", ""}));
        QVERIFY(rig.engine.dispatchedPeerAddress().isEmpty());
    }

    // Whatever arrives is recorded by the address it came from, acted on or not; one datagram goes to one host.
    void arrivalsRecordedBySource()
    {
        Rig rig;
        QSignalSpy heard(&rig.engine, &SocketEngine::hostHeard);
        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.9")), 0));
        stranger.writeDatagram("not a packet", QHostAddress::LocalHost, rig.engine.broadcastPort());
        auto client = connectFrom("127.0.0.7", rig.engine.listeningPort());
        QVERIFY(client->state() == QAbstractSocket::ConnectedState);
        QTRY_COMPARE(heard.size(), 2);
        const HeardHosts &hosts = rig.engine.heardHosts();
        const std::optional<HeardHosts::Heard> datagram = hosts.find(0x7F000009);
        QVERIFY(datagram && datagram->datagram && !datagram->stream);
        const std::optional<HeardHosts::Heard> stream = hosts.find(0x7F000007);
        QVERIFY(stream && stream->stream && !stream->datagram);
        QVERIFY(!hosts.find(0x7F000008));

        const QByteArray packet = framed(Packet::CMD_ONLINE);
        QVERIFY(rig.engine.SendDatagram(0x7F000001, packet));
        QTRY_COMPARE(rig.udp, QByteArrayList{packet});

        // A host sending from ever new addresses keeps no more than the table's rows; the oldest make room.
        HeardHosts bounded;
        const auto start = std::chrono::system_clock::now();
        for (int i = 0; i <= HeardHosts::MaxHosts; ++i)
            bounded.datagramFrom(quint32(0x0A000000 + i), start + std::chrono::seconds(i));
        QCOMPARE(bounded.size(), HeardHosts::MaxHosts);
        QVERIFY(!bounded.find(0x0A000000));
        QVERIFY(bounded.find(0x0A000000 + HeardHosts::MaxHosts));
    }

    // The probe's four verdicts against real sockets, and what it leaves at a host that follows the protocol:
    // ordinary packets only, none that host would tell as unreadable.
    void probeVerdicts()
    {
        using V = NetworkProbe::Verdict;
        Rig target;
        SilentListener silent;
        quint16 closed = 0;
        {
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost));
            closed = gone.serverPort();
        }
        const struct
        {
            quint16 port;
            Presence::Status status;
            bool answered;
            V verdict;
            int streamCode; // what the target acts on by connection, -1 nothing
            int datagramCode;
        } cases[] = {
            {silent.port, Presence::Online, false, V::NoRoute, -1, -1},
            {closed, Presence::Online, false, V::NoParlune, -1, -1},
            {target.engine.listeningPort(), Presence::Away, false, V::DatagramsBlocked, Packet::CMD_PRESENCE_REPLY,
             Packet::CMD_AWAY},
            {target.engine.listeningPort(), Presence::Online, true, V::AllFine, Packet::CMD_PRESENCE_REPLY,
             Packet::CMD_ONLINE},
            // Hidden, it shows itself to nobody's table; offline, it asks in a way that is answered.
            {target.engine.listeningPort(), Presence::Hidden, false, V::DatagramsBlocked, -1, Packet::CMD_HIDDEN},
            {target.engine.listeningPort(), Presence::Offline, true, V::AllFine, Packet::CMD_PRESENCE_REPLY,
             Packet::CMD_HIDDEN},
        };
        for (const auto &c : cases) {
            SocketEngine::Endpoints endpoints = loopbackEndpoints();
            endpoints.directPort = c.port;
            endpoints.broadcastDestinationPort = target.engine.broadcastPort();
            NoticeRecorder notices;
            SocketEngine prober(notices, endpoints, {});
            prober.StartSocketEngine();
            FriendTable friends;
            ConsoleValues values;
            values.OwnNickname = "prober";
            Presence presence(friends, prober, values, [] { return QByteArray("10.0.0.1"); });
            presence.restoreStatus(c.status);
            NetworkProbe probe(prober, presence, NetworkProbe::Timing{300ms, 1500ms});
            QSignalSpy finished(&probe, &NetworkProbe::finished);
            target.udp.clear();
            target.tcp.clear();

            probe.start(0x7F000001);
            QVERIFY(probe.isRunning());
            std::unique_ptr<QTcpSocket> answer;
            if (c.answered) {
                QTRY_VERIFY(!target.udp.isEmpty());
                answer = connectFrom("127.0.0.1", prober.listeningPort());
            }
            QTRY_COMPARE(finished.size(), 1);
            QCOMPARE(finished.at(0).at(0).value<V>(), c.verdict);
            QVERIFY(!probe.isRunning());
            QTest::qWait(100);
            QCOMPARE(Packet::command(target.udp.value(0)).value_or(-1), c.datagramCode);
            QCOMPARE(Packet::command(target.tcp.value(0)).value_or(-1), c.streamCode);
            QVERIFY(target.udp.size() <= 1 && target.tcp.size() <= 1);
            QVERIFY(target.notices.shown.empty());
        }
    }

    void sendDirectAddresses_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("reaches");
        QTest::newRow("dotted quad") << QByteArray("127.0.0.1") << true;
        QTest::newRow("two parts") << QByteArray("127.1") << true;
        QTest::newRow("hex part") << QByteArray("0x7f.0.0.1") << true;
        QTest::newRow("octal part") << QByteArray("0177.0.0.01") << true;
        QTest::newRow("one part") << QByteArray("2130706433") << true;
        QTest::newRow("trailing space") << QByteArray("127.0.0.1 ") << false;
        QTest::newRow("host name") << QByteArray("localhost") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("part too large") << QByteArray("127.0.0.256") << false;
        QTest::newRow("all ones") << QByteArray("255.255.255.255") << false;
        QTest::newRow("nul inside") << QByteArray("127.0.0.1\0x", 11) << false;
    }
    void sendDirectAddresses()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, reaches);
        Rig receiver;
        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        endpoints.directPort = receiver.engine.listeningPort();
        NoticeRecorder sink;
        SocketEngine sender(sink, endpoints, {});
        const QByteArray packet = framed(Packet::CMD_NOTICE);
        QCOMPARE(sender.SendDirect(address, packet), reaches ? int(packet.size()) : -1);
        if (reaches)
            QTRY_COMPARE(receiver.tcp, QByteArrayList{packet});
        QVERIFY(sink.shown.empty());
    }

    void sendDirectFailuresAreSilent_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::newRow("closed port") << QStringLiteral("closed");
        QTest::newRow("never answers") << QStringLiteral("silent");
    }
    void sendDirectFailuresAreSilent()
    {
        QFETCH(QString, peer);
        SilentListener silent;
        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        if (peer == QLatin1String("closed")) {
            QTcpSocket probe; // a port that was free a moment ago
            probe.bind(QHostAddress::LocalHost, 0);
            endpoints.directPort = probe.localPort();
        } else {
            endpoints.directPort = silent.port;
        }
        SocketEngine::Limits limits;
        limits.connectTimeout = 300ms;
        NoticeRecorder sink;
        SocketEngine engine(sink, endpoints, limits);
        QCOMPARE(engine.SendDirect("127.0.0.1", framed(8)), -1);
        QVERIFY(sink.shown.empty());
    }

    // A peer that accepts but never reads: the write gives up and reports what went.
    void sendDirectWriteIsBounded()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd, 1);
        socklen_t length = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length);
        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        endpoints.directPort = ntohs(a.sin_port);
        SocketEngine::Limits limits;
        limits.writeTimeout = 300ms;
        NoticeRecorder sink;
        SocketEngine engine(sink, endpoints, limits);
        const QByteArray huge(128 << 20, 'a');
        const int sent = engine.SendDirect("127.0.0.1", huge);
        ::close(fd);
        QVERIFY(sent > 0);
        QVERIFY(sent < huge.size());
    }

    void sendBroadcastReachesTheSender()
    {
        Rig rig;
        const QByteArray packet = framed(Packet::CMD_BROADCAST);
        rig.engine.SendBroadcast(packet);
        QTRY_COMPARE(rig.udp, QByteArrayList{packet});
        QVERIFY(rig.notices.shown.empty());
    }

    // A second engine on the same ports is refused both, as on Windows, and goes on.
    void portsAlreadyTaken()
    {
        Rig first;
        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        endpoints.broadcastPort = first.engine.broadcastPort();
        endpoints.listenPort = first.engine.listeningPort();
        NoticeRecorder sink;
        SocketEngine second(sink, endpoints, {});
        QSignalSpy closing(&second, &SocketEngine::closeRequested);
        second.StartSocketEngine();
        QCOMPARE(sink.shown.size(), qsizetype(2));
        QCOMPARE(sink.shown[0].text, NoticeText::build(u"發送方套按字綁定失敗!"));
        QCOMPARE(sink.shown[0].caption, QByteArray("Socket Engine"));
        QCOMPARE(sink.shown[1].text, NoticeText::build(u"無法打開監聽端口!"));
        QCOMPARE(sink.shown[1].caption, QByteArray("Socket Engine"));
        QCOMPARE(second.listeningPort(), 0);
        QCOMPARE(closing.count(), 0);
    }

    // Without a route the broadcast cannot leave; only leaving the network stays silent then.
    void sendBroadcastWithoutRoute_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("told");
        QTest::newRow("offline") << int(Packet::CMD_OFFLINE) << false;
        QTest::newRow("online") << int(Packet::CMD_ONLINE) << true;
        QTest::newRow("broadcast") << int(Packet::CMD_BROADCAST) << true;
    }
    void sendBroadcastWithoutRoute()
    {
        QFETCH(int, code);
        QFETCH(bool, told);
        const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        QVERIFY(original >= 0);
        if (::unshare(CLONE_NEWNET) != 0) {
            ::close(original);
            QSKIP("needs CAP_SYS_ADMIN for a network namespace of its own");
        }
        NoticeRecorder sink;
        {
            SocketEngine::Endpoints endpoints;
            endpoints.broadcastPort = 0;
            endpoints.listenPort = 0;
            SocketEngine engine(sink, endpoints, {});
            engine.StartSocketEngine();
            engine.SendBroadcast(Packet::build(code, {"10.0.0.9"}));
        }
        QVERIFY(::setns(original, CLONE_NEWNET) == 0);
        ::close(original);
        QCOMPARE(sink.shown.size(), qsizetype(told));
        if (told) {
            QCOMPARE(sink.shown[0].text,
                     NoticeText::build(
                         u"套接字創建失敗，請檢查網絡是否正常!然後使用主菜單的《刷新》功能重新取得好友資料。"));
            QCOMPARE(sink.shown[0].caption, QByteArray("Socket Engine"));
        }
    }

    // Each extra destination gets the same datagram once; those this host's segment covers get no second copy.
    void broadcastsReachOtherSegments()
    {
        Listener segment(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        Listener other(QHostAddress(QStringLiteral("127.0.0.2")), segment.socket.localPort());
        Listener third(QHostAddress(QStringLiteral("127.0.0.3")), segment.socket.localPort());
        QVERIFY(segment.bound && other.bound && third.bound);
        const std::optional<quint32> own = inetAddr(LocalAddress());
        std::optional<Listener> self;
        if (own)
            self.emplace(QHostAddress(*own), segment.socket.localPort());

        SocketEngine::Endpoints endpoints = loopbackEndpoints();
        endpoints.broadcastDestinationPort = segment.socket.localPort();
        Rig rig({}, endpoints);
        std::vector<quint32> destinations{0x7F000002, 0x7F000001, 0x7F000003};
        if (own)
            destinations.push_back(*own);
        rig.engine.setExtraDestinations(destinations);
        const QByteArray packet = framed(Packet::CMD_BROADCAST);
        rig.engine.SendBroadcast(packet);
        QCOMPARE(segment.received(), QByteArrayList{packet});
        QCOMPARE(other.received(), QByteArrayList{packet});
        QCOMPARE(third.received(), QByteArrayList{packet});
        if (self)
            QCOMPARE(self->received(), QByteArrayList{});
        QVERIFY(rig.notices.shown.empty());
    }

    // A segment without a route fails on its own: the ones after it still hear, and nobody is told.
    void unreachableSegmentStopsNothing()
    {
        const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        QVERIFY(original >= 0);
        if (::unshare(CLONE_NEWNET) != 0) {
            ::close(original);
            QSKIP("needs CAP_SYS_ADMIN for a network namespace of its own");
        }
        // Loopback only, up: 10.9.9.255 has no route.
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        ifreq request{};
        std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
        const bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags |= IFF_UP) &&
                        ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
        ::close(fd);
        QByteArrayList heard;
        NoticeRecorder sink;
        if (up) {
            Listener segment(QHostAddress(QStringLiteral("127.0.0.1")), 0);
            Listener other(QHostAddress(QStringLiteral("127.0.0.2")), segment.socket.localPort());
            SocketEngine::Endpoints endpoints = loopbackEndpoints();
            endpoints.broadcastDestinationPort = segment.socket.localPort();
            SocketEngine engine(sink, endpoints, {});
            engine.StartSocketEngine();
            engine.setExtraDestinations({0x0A0909FF, 0x7F000002});
            engine.SendBroadcast(framed(Packet::CMD_ONLINE));
            heard = other.received();
        }
        QVERIFY(::setns(original, CLONE_NEWNET) == 0);
        ::close(original);
        QVERIFY(up);
        QCOMPARE(heard, QByteArrayList{framed(Packet::CMD_ONLINE)});
        QVERIFY(sink.shown.empty());
    }
};

QTEST_GUILESS_MAIN(TestSocketEngine)
#include "tst_socketengine.moc"
