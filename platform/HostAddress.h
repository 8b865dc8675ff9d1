#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The host's own IPv4 address as peers see it: the one of the interface a broadcast leaves by. Read
// from the kernel's tables at every call, without DNS, so it is cheap enough to call per datagram.
namespace host {

inline constexpr char RouteTablePath[] = "/proc/net/route";

struct InterfaceAddress
{
    QByteArray interfaceName;
    quint32 ipv4 = 0; // host byte order
    bool up = false;
    bool loopback = false;
};

// Dotted quad of the interface that carries the default route (lowest metric first), else of the first
// interface that is up and not a loopback, else empty. Never a 127.x address.
QByteArray ChooseLocalAddress(QByteArrayView routeTable, const QList<InterfaceAddress> &interfaces);

// Every IPv4 address of the host's interfaces, in the kernel's order.
QList<InterfaceAddress> HostInterfaceAddresses();

QByteArray LocalAddress(const QString &routeTablePath = QString::fromLatin1(RouteTablePath));

// A Windows computer name is a short name, never a domain name: a fully qualified host name gives the
// part before its first dot.
QString ComputerNameOf(const QString &hostName);

// The name of the computer as the system reports it, by the rule above.
QString HostComputerName();

} // namespace host

using host::HostComputerName;
using host::LocalAddress;
