#include "engine/NetworkProbe.h"

#include "engine/FriendTable.h"
#include "engine/InetAddr.h"
#include "engine/Presence.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTimer>

NetworkProbe::NetworkProbe(SocketEngine &engine, Presence &presence, QObject *parent)
    : NetworkProbe(engine, presence, Timing{}, parent)
{
}

NetworkProbe::NetworkProbe(SocketEngine &engine, Presence &presence, const Timing &timing, QObject *parent)
    : QObject(parent), m_engine(engine), m_presence(presence), m_timing(timing), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_awaitingAnswer)
            finish(Verdict::DatagramsBlocked);
        else
            onConnectFailed(false);
    });
    connect(&m_engine, &SocketEngine::hostHeard, this, &NetworkProbe::onHeard);
}

NetworkProbe::~NetworkProbe()
{
    if (m_socket)
        m_socket->abort();
}

std::optional<quint32> NetworkProbe::resolve(const QByteArray &typed, const FriendTable &friends)
{
    if (const std::optional<quint32> address = inetAddr(typed))
        return address;
    for (const Friend &peer : friends.rows()) {
        if (peer.User == typed)
            return inetAddr(peer.IP);
    }
    return std::nullopt;
}

bool NetworkProbe::isOtherHost(quint32 address)
{
    const quint32 top = address >> 24;
    if (top == 0 || top == 127 || top >= 224)
        return false;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().toIPv4Address() == address ||
                (!entry.broadcast().isNull() && entry.broadcast().toIPv4Address() == address))
                return false;
        }
    }
    return true;
}

void NetworkProbe::start(quint32 address)
{
    dropSocket();
    m_target = address;
    m_awaitingAnswer = false;
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &NetworkProbe::onConnected);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (socket == m_socket && !m_awaitingAnswer)
            onConnectFailed(error == QAbstractSocket::ConnectionRefusedError);
    });
    m_timer->start(m_timing.connectTimeout);
    socket->connectToHost(QHostAddress(address), m_engine.endpoints().directPort);
}

void NetworkProbe::onConnected()
{
    // A connection closed without a packet would show the peer an error notice: it gets an ordinary one.
    QTcpSocket *socket = m_socket;
    const bool hidden = m_presence.status() == Presence::Hidden;
    socket->write(hidden ? m_presence.announcement(Presence::Hidden) : m_presence.presenceReply());
    socket->disconnectFromHost();
    // The socket is done with once the peer has the packet; one that never takes it is cut off.
    m_socket = nullptr;
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(m_timing.connectTimeout, socket, [socket] { socket->abort(); });

    m_awaitingAnswer = true;
    // Offline announcements are not answered; the hidden one is, and says the same about this host.
    const Presence::Status status = m_presence.status() == Presence::Offline ? Presence::Hidden : m_presence.status();
    Q_EMIT connected();
    if (!m_engine.SendDatagram(m_target, m_presence.announcement(status))) {
        finish(Verdict::DatagramsBlocked);
        return;
    }
    m_timer->start(m_timing.answerTimeout);
}

void NetworkProbe::onConnectFailed(bool refused)
{
    dropSocket();
    finish(refused ? Verdict::NoParlune : Verdict::NoRoute);
}

void NetworkProbe::onHeard(quint32 address, SocketEngine::Transport transport)
{
    // The answer comes over a connection of its own, from the host's address.
    if (m_awaitingAnswer && address == m_target && transport == SocketEngine::Transport::Tcp)
        finish(Verdict::AllFine);
}

void NetworkProbe::finish(Verdict verdict)
{
    m_timer->stop();
    m_target = 0;
    m_awaitingAnswer = false;
    Q_EMIT finished(verdict);
}

void NetworkProbe::dropSocket()
{
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}
