#include "engine/OtherSegments.h"

#include "engine/InetAddr.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "platform/HostAddress.h"

#include <QNetworkInterface>

#include <algorithm>

namespace segments {

namespace {

bool unusable(quint32 address)
{
    const quint32 top = address >> 24;
    return top == 0 || top == 127 || top >= 224;
}

} // namespace

HostSegments HostSegments::read()
{
    HostSegments host;
    const std::optional<quint32> local = inetAddr(LocalAddress());
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            const quint32 ip = entry.ip().toIPv4Address();
            host.ownAddresses.push_back(ip);
            if (!entry.broadcast().isNull())
                host.ownAddresses.push_back(entry.broadcast().toIPv4Address());
            if (local && ip == *local) {
                host.netmask = entry.netmask().toIPv4Address();
                host.subnet = ip & host.netmask;
            }
        }
    }
    return host;
}

bool HostSegments::covers(quint32 address) const
{
    if (std::find(ownAddresses.begin(), ownAddresses.end(), address) != ownAddresses.end())
        return true;
    return netmask != 0 && (address & netmask) == subnet;
}

bool HostSegments::isThisHost(quint32 address) const
{
    return address >> 24 == 127 || std::find(ownAddresses.begin(), ownAddresses.end(), address) != ownAddresses.end();
}

Refusal check(QByteArrayView text, const std::vector<quint32> &list, const HostSegments &host, quint32 *address)
{
    const QByteArrayView typed = text.trimmed();
    if (typed == "255.255.255.255")
        return Refusal::Unusable;
    // Only the plain form: inet_addr would also read "10.1.2" as 10.1.0.2 or "010.1.2.255" as octal,
    // which is not what anybody typing a segment means.
    const std::optional<quint32> value = inetAddr(typed);
    if (!value || dotted(*value) != typed)
        return Refusal::NotAnAddress;
    if (unusable(*value))
        return Refusal::Unusable;
    if (host.covers(*value))
        return Refusal::ThisSegment;
    if (std::find(list.begin(), list.end(), *value) != list.end())
        return Refusal::Duplicate;
    if (qsizetype(list.size()) >= MaxDestinations)
        return Refusal::TooMany;
    if (address)
        *address = *value;
    return Refusal::None;
}

std::vector<quint32> parse(QByteArrayView stored)
{
    std::vector<quint32> list;
    const HostSegments nowhere;
    qsizetype start = 0;
    while (start <= stored.size() && qsizetype(list.size()) < MaxDestinations) {
        qsizetype end = stored.indexOf(',', start);
        if (end < 0)
            end = stored.size();
        quint32 address = 0;
        if (check(stored.sliced(start, end - start), list, nowhere, &address) == Refusal::None)
            list.push_back(address);
        start = end + 1;
    }
    return list;
}

QByteArray format(const std::vector<quint32> &list)
{
    QByteArray text;
    for (quint32 address : list) {
        if (!text.isEmpty())
            text += ',';
        text += dotted(address);
    }
    return text;
}

QByteArray dotted(quint32 address)
{
    return QByteArray::number(address >> 24) + '.' + QByteArray::number((address >> 16) & 0xFF) + '.' +
           QByteArray::number((address >> 8) & 0xFF) + '.' + QByteArray::number(address & 0xFF);
}

} // namespace segments

OtherSegments::OtherSegments(SettingsStore &store, QObject *parent) : QObject(parent), m_store(store) {}

void OtherSegments::load()
{
    const std::optional<QByteArray> stored =
        settings::readString(m_store, settings::SystemKey, settings::ExtraDestinations);
    keep(stored ? segments::parse(*stored) : std::vector<quint32>());
}

bool OtherSegments::setDestinations(const std::vector<quint32> &destinations)
{
    keep(destinations);
    return settings::writeString(m_store, settings::SystemKey, settings::ExtraDestinations,
                                 segments::format(destinations));
}

void OtherSegments::keep(const std::vector<quint32> &destinations)
{
    if (m_destinations == destinations)
        return;
    m_destinations = destinations;
    Q_EMIT destinationsChanged(m_destinations);
}
