#include "engine/SocketEngine.h"

#include "engine/DirectConnection.h"
#include "engine/InetAddr.h"
#include "engine/NoticeCoalescer.h"
#include "engine/NoticeSink.h"
#include "engine/Packet.h"
#include "engine/ReplyQueue.h"
#include "engine/WireTexts.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// A readiness notice hands over at most this many datagrams, so a flood cannot starve the loop.
constexpr int DatagramsPerEvent = 64;
// What Qt reads ahead of a connection that waits its turn.
constexpr qint64 WaitingReadBufferBytes = 4096;
// Every host on the segment connects back at once after an announcement, often while this thread is
// still blocked in a send of its own. With the 5 that Windows peers use, the kernel drops the excess
// handshakes and an answer whose retries run out is lost until the next refresh, ten minutes later.
// Room for a whole /24.
constexpr int ListenBacklog = 256;

using Clock = std::chrono::steady_clock;

sockaddr_in ipv4(quint32 hostOrderAddress, quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

bool framedAtBothEnds(const QByteArray &text)
{
    return !text.isEmpty() && text.front() == Packet::Separator && text.back() == Packet::Separator;
}

} // namespace

// One accepted connection being drained until the peer closes.
class SocketEngine::Stream
{
public:
    QTcpSocket *key = nullptr; // its entry in m_streams, valid after the socket is gone
    QPointer<QTcpSocket> socket;
    quint32 source = 0;
    QByteArray data;
    bool finished = false;
};

SocketEngine::SocketEngine(NoticeSink &notices, QObject *parent) : SocketEngine(notices, {}, {}, parent) {}

SocketEngine::SocketEngine(NoticeSink &notices, const Endpoints &endpoints, const Limits &limits, QObject *parent)
    : QObject(parent), m_notices(notices), m_endpoints(endpoints), m_limits(limits), m_acceptRetry(new QTimer(this)),
      m_coalescer(new NoticeCoalescer(notices, limits.noticeWindow, this)), m_datagramBuffer(MaxDatagramBytes + 1)
{
    ReplyQueue::Limits replyLimits;
    replyLimits.connectTimeout = limits.connectTimeout;
    replyLimits.writeTimeout = limits.writeTimeout;
    replyLimits.presenceInterval = limits.presenceReplyInterval;
    replyLimits.maxQueued = limits.maxQueuedReplies;
    replyLimits.maxInFlight = limits.maxRepliesInFlight;
    m_replies = new ReplyQueue(endpoints.directPort, replyLimits, this);
    m_acceptRetry->setSingleShot(true);
    connect(m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_listener)
            m_listener->resumeAccepting();
    });
}

SocketEngine::~SocketEngine()
{
    CloseSockets();
}

void SocketEngine::notice(QStringView text, const char *caption)
{
    m_coalescer->show(text.toString(), QByteArray(caption));
}

void SocketEngine::StartSocketEngine()
{
    m_udpFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int tcpFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_udpFd < 0 || tcpFd < 0) {
        notice(wire::SocketCreateFailed, wire::SocketEngineCaption);
        if (m_udpFd >= 0)
            ::close(m_udpFd);
        if (tcpFd >= 0)
            ::close(tcpFd);
        m_udpFd = tcpFd = -1;
        Q_EMIT closeRequested();
    }

    // No SO_REUSEADDR: a second instance on the same port must fail to bind, as it does on Windows.
    const sockaddr_in udpAddress = ipv4(INADDR_ANY, m_endpoints.broadcastPort);
    if (::bind(m_udpFd, reinterpret_cast<const sockaddr *>(&udpAddress), sizeof udpAddress) != 0)
        notice(wire::SendSocketBindFailed, wire::SocketEngineCaption);

    const int on = 1;
    if (::setsockopt(m_udpFd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        notice(wire::BroadcastUnavailable, wire::SocketEngineCaption);

    // Linux keeps a closed connection's port in TIME_WAIT and would refuse the bind after a restart;
    // Windows does not. Two listeners on one port stay impossible.
    ::setsockopt(tcpFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in tcpAddress = ipv4(INADDR_ANY, m_endpoints.listenPort);
    const bool bound = ::bind(tcpFd, reinterpret_cast<const sockaddr *>(&tcpAddress), sizeof tcpAddress) == 0;

    // Linux would listen on an unbound socket at a random port, where no peer looks; Windows refuses.
    const bool listening = bound && ::listen(tcpFd, ListenBacklog) == 0;
    if (!listening)
        notice(wire::ListenFailed, wire::SocketEngineCaption);

    if (m_udpFd >= 0) {
        m_udpNotifier = new QSocketNotifier(m_udpFd, QSocketNotifier::Read, this);
        connect(m_udpNotifier, &QSocketNotifier::activated, this, [this] { HandleSocketEvent(SocketEvent::Read); });
    }
    if (listening) {
        m_listener = new QTcpServer(this);
        m_listener->setMaxPendingConnections(1);
        if (m_listener->setSocketDescriptor(tcpFd)) {
            connect(m_listener, &QTcpServer::newConnection, this, [this] { HandleSocketEvent(SocketEvent::Accept); });
            connect(m_listener, &QTcpServer::acceptError, this, &SocketEngine::acceptFailed);
            tcpFd = -1;
        } else {
            delete m_listener;
            m_listener = nullptr;
        }
    }
    if (tcpFd >= 0)
        ::close(tcpFd);
}

void SocketEngine::CloseSockets()
{
    // Streams first: their sockets must not report to an engine whose listener is already gone.
    for (const auto &[socket, stream] : m_streams) {
        stream->finished = true;
        if (stream->socket) {
            stream->socket->disconnect(this);
            stream->socket->abort();
            stream->socket->deleteLater();
        }
    }
    m_streams.clear();
    for (const WaitingConnection &waiting : std::exchange(m_waiting, {})) {
        if (waiting.socket) {
            waiting.socket->abort();
            waiting.socket->deleteLater();
        }
    }
    m_sources.clear();
    m_openStreams = 0;
    m_bufferedBytes = 0;
    m_acceptRetry->stop();
    if (QTcpServer *listener = std::exchange(m_listener, nullptr)) {
        listener->disconnect(this);
        delete listener;
    }

    // A power-off answer has to reach the requester before the program ends.
    m_replies->flush(m_limits.closeGrace);

    delete m_udpNotifier;
    m_udpNotifier = nullptr;
    if (m_udpFd >= 0)
        ::close(m_udpFd);
    m_udpFd = -1;
}

quint16 SocketEngine::broadcastPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (m_udpFd < 0 || ::getsockname(m_udpFd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

quint16 SocketEngine::listeningPort() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

bool SocketEngine::actsOn(Transport transport, int code)
{
    using namespace Packet;
    switch (code) {
    case CMD_OFFLINE:
    case CMD_ONLINE:
    case CMD_HIDDEN:
    case CMD_BROADCAST:
    case CMD_AWAY:
    case CMD_BULLETIN:
        return transport == Transport::Udp;
    case CMD_PRESENCE_REPLY:
    case CMD_MESSAGE:
    case CMD_REMOTE_SHUTDOWN:
    case CMD_NOTICE:
    case CMD_FILE_TRANSFER:
        return transport == Transport::Tcp;
    case CMD_GAME:
        return true;
    default:
        return false;
    }
}

bool SocketEngine::registerAction(Transport transport, int code, Action action)
{
    if (!actsOn(transport, code))
        return false;
    (transport == Transport::Udp ? m_udpActions : m_tcpActions)[code] = std::move(action);
    return true;
}

void SocketEngine::HandleSocketEvent(SocketEvent event)
{
    switch (event) {
    case SocketEvent::Read:
        readDatagrams();
        break;
    case SocketEvent::Accept:
        acceptConnections();
        break;
    }
}

void SocketEngine::readDatagrams()
{
    for (int i = 0; i < DatagramsPerEvent && m_udpFd >= 0; ++i) {
        // MSG_TRUNC makes the result the datagram's real length, so a longer one is recognised and lost.
        // The sender's address is only recorded as heard; nothing acts on it.
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        const ssize_t n = ::recvfrom(m_udpFd, m_datagramBuffer.data(), m_datagramBuffer.size(),
                                     MSG_DONTWAIT | MSG_TRUNC, reinterpret_cast<sockaddr *>(&source), &sourceLength);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n >= 0) {
            ++m_datagramsReceived;
            heardFrom(ntohl(source.sin_addr.s_addr), Transport::Udp);
        }
        if (n <= 0 || n > MaxDatagramBytes)
            continue;
        const QByteArray packet(m_datagramBuffer.data(), n);
        if (packet.front() != Packet::Separator && packet.back() != Packet::Separator)
            continue;
        dispatch(Transport::Udp, packet);
    }
}

void SocketEngine::acceptConnections()
{
    while (m_listener && m_listener->hasPendingConnections()) {
        QTcpSocket *socket = m_listener->nextPendingConnection();
        if (!socket)
            break;
        // Owned by the engine, so that the listener can go first when the sockets close.
        socket->setParent(this);
        const quint32 source = socket->peerAddress().toIPv4Address();
        heardFrom(source, Transport::Tcp);
        const auto known = m_sources.find(source);
        // Behind others of its host, a connection waits its turn so that its packets act in the order sent.
        const bool mustWait = m_openStreams >= m_limits.maxOpenStreams ||
                              (known != m_sources.end() &&
                               (known->second.streams >= m_limits.maxStreamsPerSource || known->second.waiting > 0));
        if (mustWait && !holdConnection(socket, source)) {
            // Closed at once rather than left in the backlog: a paused listener would shut out every other
            // host along with the one that holds the streams.
            ++m_refusedStreams;
            socket->abort();
            delete socket;
            continue;
        }
        if (!mustWait)
            startStream(socket, source);
    }
}

// Held unread: the system's buffers keep what the peer writes, and a small read buffer stops Qt from taking
// more of it than a glance.
bool SocketEngine::holdConnection(QTcpSocket *socket, quint32 source)
{
    SourceUse &use = m_sources[source];
    if (int(m_waiting.size()) >= m_limits.maxWaitingStreams || use.waiting >= m_limits.maxWaitingPerSource) {
        if (use.streams <= 0 && use.waiting <= 0)
            m_sources.erase(source);
        return false;
    }
    socket->setReadBufferSize(WaitingReadBufferBytes);
    ++use.waiting;
    m_waiting.push_back({socket, source});
    return true;
}

// The first waiting connections whose host has a place again become streams, oldest first.
void SocketEngine::startWaitingStreams()
{
    m_waitingStartQueued = false;
    for (auto next = m_waiting.begin(); next != m_waiting.end() && m_openStreams < m_limits.maxOpenStreams;) {
        SourceUse &use = m_sources[next->source];
        if (use.streams >= m_limits.maxStreamsPerSource) {
            ++next;
            continue;
        }
        const WaitingConnection waiting = *next;
        m_waiting.erase(next);
        --use.waiting;
        if (waiting.socket) {
            waiting.socket->setReadBufferSize(0);
            startStream(waiting.socket, waiting.source);
        }
        // Starting may have finished a stream already, which changes the queue.
        next = m_waiting.begin();
    }
}

void SocketEngine::startStream(QTcpSocket *socket, quint32 source)
{
    auto stream = std::make_shared<Stream>();
    stream->key = socket;
    stream->socket = socket;
    stream->source = source;
    m_streams.emplace(socket, stream);
    ++m_openStreams;
    ++m_sources[source].streams;

    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(m_limits.streamIdleTimeout);
    auto *lifetime = new QTimer(socket);
    lifetime->setSingleShot(true);
    lifetime->setInterval(m_limits.streamLifetime);

    auto collect = [this, stream, idle] {
        if (stream->finished || !stream->socket)
            return;
        const QByteArray chunk = stream->socket->readAll();
        if (chunk.isEmpty())
            return;
        SourceUse &use = m_sources[stream->source];
        if (stream->data.size() + chunk.size() > m_limits.maxStreamBytes ||
            m_bufferedBytes + chunk.size() > m_limits.maxBufferedBytes ||
            use.bytes + chunk.size() > m_limits.maxSourceBytes) {
            finishStream(stream, true);
            return;
        }
        stream->data.append(chunk);
        m_bufferedBytes += chunk.size();
        use.bytes += chunk.size();
        idle->start();
    };
    connect(socket, &QTcpSocket::readyRead, this, collect);
    connect(socket, &QTcpSocket::disconnected, this, [this, stream, collect] {
        collect();
        finishStream(stream, false);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, stream, collect](QAbstractSocket::SocketError e) {
        // The peer's close also reports an error; disconnected() follows and finishes the stream.
        if (e == QAbstractSocket::RemoteHostClosedError)
            return;
        collect();
        finishStream(stream, false);
    });
    connect(idle, &QTimer::timeout, this, [this, stream] { finishStream(stream, false); });
    connect(lifetime, &QTimer::timeout, this, [this, stream] { finishStream(stream, false); });
    idle->start();
    lifetime->start();

    // Bytes and the close may have arrived before the signals were connected.
    collect();
    if (!stream->finished && socket->state() != QAbstractSocket::ConnectedState)
        finishStream(stream, false);
}

// The listener has paused itself; nothing else would ever resume it, and this instance would stop hearing
// every direct packet. Out of descriptors, the connection stays in the backlog until a retry takes it.
void SocketEngine::acceptFailed()
{
    if (m_listener && !m_acceptRetry->isActive())
        m_acceptRetry->start(m_limits.acceptRetryDelay);
}

// The drain has ended: the peer closed, the connection failed or stalled (cutOff false: the bytes so far
// are judged like a closed stream), or the stream outgrew its bounds (cutOff true: they are dropped).
void SocketEngine::finishStream(std::shared_ptr<Stream> stream, bool cutOff)
{
    if (stream->finished)
        return;
    stream->finished = true;
    const QPointer<QTcpSocket> socket = stream->socket;
    QByteArray text = std::move(stream->data);
    m_bufferedBytes -= text.size();
    --m_openStreams;
    if (const auto use = m_sources.find(stream->source); use != m_sources.end()) {
        use->second.bytes -= text.size();
        if (--use->second.streams <= 0 && use->second.waiting <= 0)
            m_sources.erase(use);
    }
    // Later, not inside whatever finished this stream: a waiting connection may finish as it starts.
    if (!m_waiting.empty() && !m_waitingStartQueued) {
        m_waitingStartQueued = true;
        QMetaObject::invokeMethod(this, &SocketEngine::startWaitingStreams, Qt::QueuedConnection);
    }
    // Closed before the packet acts: the sender waits for this close to count the packet delivered, and an
    // action may take its time (a window, a nested event loop).
    if (socket) {
        socket->disconnect(this);
        socket->abort();
    }
    m_streams.erase(stream->key);
    // A descriptor has come free: an accept that failed for want of one may succeed now.
    if (m_listener && m_acceptRetry->isActive()) {
        m_acceptRetry->stop();
        m_listener->resumeAccepting();
    }

    if (!cutOff && framedAtBothEnds(text))
        dispatch(Transport::Tcp, text,
                 stream->source ? QHostAddress(stream->source).toString().toLatin1() : QByteArray());
    else
        notice(wire::UnknownStream, wire::ErrorMessageCaption);
    // Only now: the socket may be inside its own signal still, which an event loop run by the action must not
    // see deleted.
    if (socket)
        socket->deleteLater();
}

void SocketEngine::dispatch(Transport transport, const QByteArray &packet, const QByteArray &peer)
{
    const std::optional<int> code = Packet::command(packet);
    if (!code) {
        notice(wire::UnrecognisedPacket, wire::ErrorMessageCaption);
        return;
    }
    const auto &table = transport == Transport::Udp ? m_udpActions : m_tcpActions;
    const auto it = table.find(*code);
    if (it == table.end())
        return;
    // A copy: the action may replace its own registration while it runs.
    const Action action = it->second;
    // An action may run the event loop (a blocking send does), and another packet's action inside it.
    const QByteArray outerPeer = std::exchange(m_dispatchedPeer, peer);
    try {
        action(packet);
    } catch (...) {
        notice(wire::UnrecognisedPacket, wire::ErrorMessageCaption);
    }
    m_dispatchedPeer = outerPeer;
}

int SocketEngine::SendDirect(const QByteArray &address, const QByteArray &packet)
{
    DirectConnection connection;
    if (!connection.isOpen()) {
        notice(wire::DirectSocketFailed, wire::SocketEngineCaption);
        return -1;
    }
    // Text that is no address could only fail to connect.
    const std::optional<quint32> peer = inetAddr(address);
    if (!peer || !connection.connectTo(*peer, m_endpoints.directPort, Clock::now() + m_limits.connectTimeout))
        return -1;
    const qsizetype written = connection.write(packet, Clock::now() + m_limits.writeTimeout);
    // A packet the peer threw away unread was not sent, however many bytes went. This engine itself, which
    // shares this thread, could only close once the wait is over.
    if (written == packet.size() && !reachesItself(*peer) &&
        connection.discardedByPeer(Clock::now() + m_limits.writeTimeout))
        return -1;
    // Like a blocking send cut short: the bytes that went, or -1 when none could.
    return written > 0 || packet.isEmpty() ? int(written) : -1;
}

quint16 SocketEngine::datagramPort() const
{
    return m_endpoints.broadcastDestinationPort ? m_endpoints.broadcastDestinationPort
           : m_endpoints.broadcastPort          ? m_endpoints.broadcastPort
                                                : broadcastPort();
}

bool SocketEngine::sendDatagram(quint32 address, quint16 port, const QByteArray &packet)
{
    const sockaddr_in destination = ipv4(address, port);
    const ssize_t n = ::sendto(m_udpFd, packet.data(), size_t(packet.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr *>(&destination), sizeof destination);
    return n >= 0 || errno == EAGAIN || errno == EWOULDBLOCK;
}

void SocketEngine::SendBroadcast(const QByteArray &packet)
{
    const quint16 port = datagramPort();
    const quint32 broadcast = m_endpoints.broadcastAddress.toIPv4Address();
    const bool sent = sendDatagram(broadcast, port, packet);
    if (!m_extraDestinations.empty() && hostAddressesStale())
        readHostAddresses();
    // A segment that cannot be reached now (its router is down) must not keep the others from hearing,
    // nor bury the user in notices at every announcement; the network diagnosis tells about it.
    for (const quint32 destination : m_extraDestinations)
        if (destination != broadcast && !m_host.covers(destination))
            sendDatagram(destination, port, packet);
    if (sent)
        return;
    // Leaving the network must stay silent: it is what a closing or unplugged host sends.
    if (Packet::command(packet) == Packet::CMD_OFFLINE)
        return;
    notice(wire::BroadcastFailed, wire::SocketEngineCaption);
}

bool SocketEngine::SendDatagram(quint32 address, const QByteArray &packet)
{
    return m_udpFd >= 0 && sendDatagram(address, datagramPort(), packet);
}

void SocketEngine::heardFrom(quint32 address, Transport transport)
{
    const auto now = std::chrono::system_clock::now();
    if (transport == Transport::Udp)
        m_heard.datagramFrom(address, now);
    else
        m_heard.streamFrom(address, now);
    Q_EMIT hostHeard(address, transport);
}

void SocketEngine::readHostAddresses()
{
    m_host = segments::HostSegments::read();
    m_hostAddressesRead = Clock::now();
}

// Addresses can change while the program runs (a new lease, a cable moved to another segment).
bool SocketEngine::hostAddressesStale() const
{
    return m_hostAddressesRead == Clock::time_point() || Clock::now() - m_hostAddressesRead > std::chrono::seconds(5);
}

bool SocketEngine::reachesItself(quint32 address)
{
    if (m_endpoints.directPort != listeningPort())
        return false;
    if (hostAddressesStale())
        readHostAddresses();
    return m_host.isThisHost(address);
}

bool SocketEngine::fitForReply(quint32 address)
{
    const quint32 top = address >> 24;
    if (top == 127)
        return m_endpoints.repliesToLoopback;
    // "This network", multicast, and the reserved block that holds the limited broadcast address.
    if (top == 0 || top >= 224)
        return false;
    if (hostAddressesStale())
        readHostAddresses();
    return !m_host.isThisHost(address);
}

void SocketEngine::SendReply(const QByteArray &address, const QByteArray &packet, ReplyKind kind)
{
    const std::optional<quint32> destination = ReplyQueue::parseDottedQuad(address);
    if (!destination || !fitForReply(*destination))
        return;
    m_replies->enqueue(*destination, packet, kind == ReplyKind::Presence);
}
