#pragma once

#include "engine/HeardHosts.h"
#include "engine/OtherSegments.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class NoticeCoalescer;
class NoticeSink;
class ReplyQueue;
class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

// The network endpoints of the console: one UDP socket for broadcasts, one TCP listener for direct
// packets, and a fresh TCP connection per direct send. Arriving packets are checked for framing and
// handed to the action registered for their command and transport. Everything runs on the GUI thread.
class SocketEngine final : public QObject, public PacketTransport
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SocketEngine)

public:
    enum class Transport { Udp, Tcp };
    // The two readiness kinds: a datagram is waiting, a connection is waiting.
    enum class SocketEvent { Read = 1, Accept = 8 };

    struct Endpoints
    {
        quint16 broadcastPort = Packet::UdpPort; // 0: any free port
        quint16 listenPort = Packet::TcpPort;
        quint16 directPort = Packet::TcpPort; // where direct sends connect to
        QHostAddress broadcastAddress = QHostAddress(QHostAddress::Broadcast);
        quint16 broadcastDestinationPort = 0; // 0: the port the broadcast socket is bound to
        // Answers to loopback addresses are dropped like any other address of this host; a test whose
        // peers live on this host lets them through.
        bool repliesToLoopback = false;
    };

    // Bounds against peers that never answer, never close or never stop sending.
    struct Limits
    {
        std::chrono::milliseconds connectTimeout{3000};
        std::chrono::milliseconds writeTimeout{3000};
        std::chrono::milliseconds streamIdleTimeout{30000};
        std::chrono::milliseconds streamLifetime{600000};
        qsizetype maxStreamBytes = qsizetype(64) << 20;
        qsizetype maxBufferedBytes = qsizetype(256) << 20; // all streams being drained together
        // Every host of a /24 answering an announcement at once, each from its own address.
        int maxOpenStreams = 256;
        // One host must not hold every stream or most of the buffer: connections beyond its share wait,
        // and its streams together may not buffer more than this.
        int maxStreamsPerSource = 4;
        // Connections beyond a share wait unread in arrival order, each holding a descriptor: the sender has
        // already been told its packet was delivered. Beyond these they are accepted and closed at once.
        int maxWaitingStreams = 128;
        int maxWaitingPerSource = 32;
        qsizetype maxSourceBytes = qsizetype(64) << 20;
        // An accept that failed (no descriptors left, for example) is tried again after this.
        std::chrono::milliseconds acceptRetryDelay{500};
        // Repeats of a notice within this time are summed up in one notice.
        std::chrono::milliseconds noticeWindow{5000};
        // Answers to arriving packets: how many wait, how many connect at once, how often one destination
        // gets a presence answer, and how long the close waits for what is queued.
        int maxQueuedReplies = 64;
        int maxRepliesInFlight = 8;
        std::chrono::milliseconds presenceReplyInterval{5000};
        std::chrono::milliseconds closeGrace{1500};
    };

    static constexpr qsizetype MaxDatagramBytes = 30000;

    using Action = std::function<void(const QByteArray &packet)>;

    explicit SocketEngine(NoticeSink &notices, QObject *parent = nullptr);
    SocketEngine(NoticeSink &notices, const Endpoints &endpoints, const Limits &limits, QObject *parent = nullptr);
    ~SocketEngine() override;

    // Creates, binds and opens both sockets; each failure is told and start-up goes on. A failure that
    // leaves nothing usable emits closeRequested().
    void StartSocketEngine();
    // Gives the queued answers a short chance to leave, closes both sockets and drops the connections
    // still being drained.
    void CloseSockets();

    // True when a packet of this code is acted on when it arrives by this transport.
    static bool actsOn(Transport transport, int code);
    // Installs the action for a code; refused (false) for a code the transport does not act on.
    bool registerAction(Transport transport, int code, Action action);

    // Connects to address:3289, writes the packet, closes and waits for the peer's close. Bytes written, or -1
    // also when the peer reset the connection instead (it threw the packet away); tells nothing but a socket
    // the system refused. The address is read by inetAddr. Connect, write and the wait are each bounded by the
    // limits.
    int SendDirect(const QByteArray &address, const QByteArray &packet) override;
    // One datagram to the broadcast address and one to each extra destination. A failure of the first is
    // told unless the packet is a CMD_OFFLINE; the extra ones fail without a word.
    void SendBroadcast(const QByteArray &packet) override;
    // The other segments every broadcast also goes to. Any that this host's own segments cover are passed
    // over when a broadcast is sent: their hosts hear the broadcast already.
    void setExtraDestinations(const std::vector<quint32> &destinations) { m_extraDestinations = destinations; }
    const std::vector<quint32> &extraDestinations() const { return m_extraDestinations; }
    // Queued and sent without blocking, only to a plain dotted address that is neither loopback,
    // multicast, broadcast nor this host's own; everything else, and what overflows the queue, is dropped.
    void SendReply(const QByteArray &address, const QByteArray &packet, ReplyKind kind) override;

    // The two readiness kinds; the socket notifiers and the listener call these.
    void HandleSocketEvent(SocketEvent event);

    quint16 broadcastPort() const;
    quint16 listeningPort() const;
    int openStreamCount() const { return m_openStreams; }
    int waitingStreamCount() const { return int(m_waiting.size()); }
    // Connections closed at once because their source or the engine had no stream, and no place to wait, left
    // for them.
    quint64 refusedStreamCount() const { return m_refusedStreams; }
    const ReplyQueue &replyQueue() const { return *m_replies; }
    // Datagrams read off the broadcast socket so far, whether acted on or dropped; for load figures.
    quint64 datagramsReceived() const { return m_datagramsReceived; }
    // The dotted remote address of the connection whose packet an action is handling right now; empty while
    // a datagram's action runs and outside actions. Any host can write any address into a packet; this one
    // it cannot choose.
    const QByteArray &dispatchedPeerAddress() const { return m_dispatchedPeer; }

    const Endpoints &endpoints() const { return m_endpoints; }
    // Every datagram and connection by the address it came from, whatever it carried.
    const HeardHosts &heardHosts() const { return m_heard; }
    // One datagram to one host, on the port broadcasts go to. False when it could not be sent.
    bool SendDatagram(quint32 address, const QByteArray &packet);

Q_SIGNALS:
    // The engine cannot work; connect with a queued connection to the console's close.
    void closeRequested();
    // Something arrived from this address (host byte order), by this transport.
    void hostHeard(quint32 address, SocketEngine::Transport transport);

private:
    class Stream;

    void readDatagrams();
    void acceptConnections();
    bool holdConnection(QTcpSocket *socket, quint32 source);
    void startStream(QTcpSocket *socket, quint32 source);
    void startWaitingStreams();
    void finishStream(std::shared_ptr<Stream> stream, bool cutOff);
    void acceptFailed();
    // True when a direct send to this address connects to this engine's own listener.
    bool reachesItself(quint32 address);
    bool fitForReply(quint32 address);
    void readHostAddresses();
    bool hostAddressesStale() const;
    bool sendDatagram(quint32 address, quint16 port, const QByteArray &packet);
    void dispatch(Transport transport, const QByteArray &packet, const QByteArray &peer = {});
    void notice(QStringView text, const char *caption);
    quint16 datagramPort() const;
    void heardFrom(quint32 address, Transport transport);

    NoticeSink &m_notices;
    Endpoints m_endpoints;
    Limits m_limits;
    int m_udpFd = -1;
    QSocketNotifier *m_udpNotifier = nullptr;
    QTcpServer *m_listener = nullptr;
    int m_openStreams = 0;
    quint64 m_datagramsReceived = 0;
    qsizetype m_bufferedBytes = 0;
    quint64 m_refusedStreams = 0;
    struct SourceUse
    {
        int streams = 0;
        int waiting = 0;
        qsizetype bytes = 0;
    };
    std::map<quint32, SourceUse> m_sources;
    struct WaitingConnection
    {
        QPointer<QTcpSocket> socket;
        quint32 source = 0;
    };
    std::deque<WaitingConnection> m_waiting;
    bool m_waitingStartQueued = false;
    std::map<QTcpSocket *, std::shared_ptr<Stream>> m_streams;
    QTimer *m_acceptRetry = nullptr;
    NoticeCoalescer *m_coalescer = nullptr;
    ReplyQueue *m_replies = nullptr;
    // This host's addresses and its segments' broadcast addresses, re-read now and then.
    segments::HostSegments m_host;
    std::chrono::steady_clock::time_point m_hostAddressesRead;
    std::map<int, Action> m_udpActions;
    std::map<int, Action> m_tcpActions;
    std::vector<char> m_datagramBuffer;
    QByteArray m_dispatchedPeer;
    HeardHosts m_heard;
    std::vector<quint32> m_extraDestinations;
};
