#include "engine/NetworkDiagnosis.h"

#include "engine/FriendTable.h"
#include "engine/InetAddr.h"
#include "engine/SocketEngine.h"
#include "platform/HostAddress.h"
#include "platform/SocketTable.h"

#include <QCoreApplication>
#include <QNetworkInterface>

namespace {

QList<DiagnosisFacts::Interface> interfaces()
{
    QList<DiagnosisFacts::Interface> list;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        DiagnosisFacts::Interface entry;
        entry.name = interface.humanReadableName();
        entry.up = interface.flags().testFlag(QNetworkInterface::IsUp);
        entry.running = interface.flags().testFlag(QNetworkInterface::IsRunning);
        entry.loopback = interface.flags().testFlag(QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry &address : interface.addressEntries()) {
            if (address.ip().protocol() == QAbstractSocket::IPv4Protocol)
                entry.addresses.append({address.ip(), address.netmask(), address.broadcast()});
        }
        list.append(entry);
    }
    return list;
}

QDateTime wallClock(const std::optional<HeardHosts::Time> &time)
{
    if (!time)
        return {};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time->time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms);
}

} // namespace

NetworkDiagnosis::NetworkDiagnosis(SocketEngine &engine, const FriendTable &friends, QObject *parent)
    : QObject(parent), m_engine(engine), m_friends(friends), m_firewall(new host::FirewallReader(this))
{
    connect(m_firewall, &host::FirewallReader::finished, this, [this](const host::FirewallReport &report) {
        m_facts.firewall = report;
        Q_EMIT factsReady(m_facts);
    });
}

DiagnosisFacts::Port NetworkDiagnosis::port(quint16 number, bool udp, quint16 boundHere) const
{
    DiagnosisFacts::Port port;
    port.number = number;
    port.udp = udp;
    port.boundHere = boundHere != 0 && boundHere == number;
    // Bound here, the table's row is this program's own socket: no search among the processes.
    if (port.boundHere)
        return port;
    const QString table = QLatin1String(udp ? host::ProcNetUdpPath : host::ProcNetTcpPath);
    for (const host::BoundSocket &socket : host::ReadBoundSockets(table, number, !udp)) {
        const std::optional<host::SocketHolder> holder = host::HolderOfSocket(socket.inode);
        port.holders.append(holder ? QStringLiteral("%1 (%2)").arg(holder->command).arg(holder->pid)
                                   : QStringLiteral("?"));
    }
    return port;
}

void NetworkDiagnosis::setFilePort(quint16 port, quint16 boundHere)
{
    m_filePort = port;
    m_fileBoundHere = boundHere;
}

void NetworkDiagnosis::refresh()
{
    const SocketEngine::Endpoints &endpoints = m_engine.endpoints();
    m_facts = DiagnosisFacts{};
    m_facts.interfaces = interfaces();
    m_facts.ownAddress = LocalAddress();
    m_facts.broadcastAddress = endpoints.broadcastAddress;
    for (const quint32 destination : m_engine.extraDestinations())
        m_facts.extraDestinations.append(QHostAddress(destination));
    const quint16 udpPort = endpoints.broadcastPort ? endpoints.broadcastPort : m_engine.broadcastPort();
    const quint16 tcpPort = endpoints.listenPort ? endpoints.listenPort : m_engine.listeningPort();
    m_facts.broadcastPort = endpoints.broadcastDestinationPort ? endpoints.broadcastDestinationPort : udpPort;
    m_facts.udp = port(udpPort, true, m_engine.broadcastPort());
    m_facts.tcp = port(tcpPort, false, m_engine.listeningPort());
    for (const Friend &peer : m_friends.rows()) {
        DiagnosisFacts::FriendHeard heard{peer.User, peer.IP, {}, {}};
        if (const std::optional<quint32> address = inetAddr(peer.IP)) {
            if (const std::optional<HeardHosts::Heard> times = m_engine.heardHosts().find(*address)) {
                heard.datagram = wallClock(times->datagram);
                heard.stream = wallClock(times->stream);
            }
        }
        m_facts.friends.append(heard);
    }
    QList<quint16> ports{udpPort, tcpPort};
    if (m_filePort) {
        m_facts.files = port(m_filePort, false, m_fileBoundHere);
        ports.append(m_filePort);
    }
    m_firewall->read(ports);
}
