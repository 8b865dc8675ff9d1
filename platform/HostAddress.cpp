#include "platform/HostAddress.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QSysInfo>
#include <algorithm>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace host {
namespace {

constexpr unsigned RouteUp = 0x1; // RTF_UP

struct DefaultRoute
{
    QByteArray interfaceName;
    qint64 metric = 0;
};

// Default routes of /proc/net/route: destination and mask 0, flagged up. The header line fails to
// parse and drops out with any other malformed line.
QList<DefaultRoute> defaultRoutes(QByteArrayView table)
{
    QList<DefaultRoute> routes;
    for (const QByteArray &line : table.toByteArray().split('\n')) {
        const QList<QByteArray> columns = line.simplified().split(' ');
        if (columns.size() < 8)
            continue;
        bool destinationOk = false, flagsOk = false, metricOk = false, maskOk = false;
        const uint destination = columns[1].toUInt(&destinationOk, 16);
        const uint flags = columns[3].toUInt(&flagsOk, 16);
        const qint64 metric = columns[6].toLongLong(&metricOk);
        const uint mask = columns[7].toUInt(&maskOk, 16);
        if (!destinationOk || !flagsOk || !metricOk || !maskOk)
            continue;
        if (destination == 0 && mask == 0 && (flags & RouteUp))
            routes.append({columns[0], metric});
    }
    std::stable_sort(routes.begin(), routes.end(),
                     [](const DefaultRoute &a, const DefaultRoute &b) { return a.metric < b.metric; });
    return routes;
}

bool isLoopbackAddress(quint32 ipv4)
{
    return (ipv4 >> 24) == 127;
}

bool usable(const InterfaceAddress &entry)
{
    return entry.up && !entry.loopback && entry.ipv4 != 0 && !isLoopbackAddress(entry.ipv4);
}

QByteArray dottedQuad(quint32 ipv4)
{
    return QByteArray::number(ipv4 >> 24) + '.' + QByteArray::number((ipv4 >> 16) & 0xff) + '.' +
           QByteArray::number((ipv4 >> 8) & 0xff) + '.' + QByteArray::number(ipv4 & 0xff);
}

QByteArray readRouteTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report no size; read in small steps, up to a cap that keeps a strange file cheap.
    QByteArray table;
    char chunk[4096];
    while (table.size() < 256 * 1024) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got <= 0)
            break;
        table.append(chunk, got);
    }
    return table;
}

// The primary IPv4 address of one interface, straight from the kernel: far cheaper than listing
// every interface, and the primary address is the one a broadcast leaves with.
std::optional<InterfaceAddress> primaryAddressOf(const QByteArray &interfaceName)
{
    if (interfaceName.isEmpty() || interfaceName.size() >= IFNAMSIZ)
        return std::nullopt;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    ifreq request{};
    std::memcpy(request.ifr_name, interfaceName.constData(), interfaceName.size());
    std::optional<InterfaceAddress> result;
    if (::ioctl(fd, SIOCGIFFLAGS, &request) == 0) {
        const short flags = request.ifr_flags;
        if (::ioctl(fd, SIOCGIFADDR, &request) == 0 && request.ifr_addr.sa_family == AF_INET) {
            sockaddr_in address;
            std::memcpy(&address, &request.ifr_addr, sizeof address);
            result = InterfaceAddress{interfaceName, ntohl(address.sin_addr.s_addr), (flags & IFF_UP) != 0,
                                      (flags & IFF_LOOPBACK) != 0};
        }
    }
    ::close(fd);
    return result;
}

} // namespace

QByteArray ChooseLocalAddress(QByteArrayView routeTable, const QList<InterfaceAddress> &interfaces)
{
    for (const DefaultRoute &route : defaultRoutes(routeTable)) {
        for (const InterfaceAddress &entry : interfaces) {
            if (entry.interfaceName == route.interfaceName && usable(entry))
                return dottedQuad(entry.ipv4);
        }
    }
    for (const InterfaceAddress &entry : interfaces) {
        if (usable(entry))
            return dottedQuad(entry.ipv4);
    }
    return {};
}

QList<InterfaceAddress> HostInterfaceAddresses()
{
    QList<InterfaceAddress> out;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : all) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            out.append({interface.name().toLocal8Bit(), entry.ip().toIPv4Address(),
                        flags.testFlag(QNetworkInterface::IsUp), flags.testFlag(QNetworkInterface::IsLoopBack)});
        }
    }
    return out;
}

QByteArray LocalAddress(const QString &routeTablePath)
{
    const QByteArray table = readRouteTable(routeTablePath);
    // The usual case asks the kernel about the default route's interfaces only; the full list of
    // interfaces is the fallback.
    QList<InterfaceAddress> routed;
    for (const DefaultRoute &route : defaultRoutes(table)) {
        if (const std::optional<InterfaceAddress> entry = primaryAddressOf(route.interfaceName))
            routed.append(*entry);
    }
    const QByteArray chosen = ChooseLocalAddress(table, routed);
    return chosen.isEmpty() ? ChooseLocalAddress(table, HostInterfaceAddresses()) : chosen;
}

QString ComputerNameOf(const QString &hostName)
{
    return hostName.section(u'.', 0, 0);
}

QString HostComputerName()
{
    return ComputerNameOf(QSysInfo::machineHostName());
}

} // namespace host
