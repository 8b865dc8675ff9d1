#include "platform/HostAddress.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <algorithm>

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
    QByteArray table;
    QFile file(routeTablePath);
    // The table is one line per route; a cap keeps a strange file from costing much.
    if (file.open(QIODevice::ReadOnly))
        table = file.read(256 * 1024);
    return ChooseLocalAddress(table, HostInterfaceAddresses());
}

} // namespace host
