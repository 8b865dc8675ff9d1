#include "engine/Presence.h"

#include "engine/FriendTable.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"

using namespace Packet;

Presence::Presence(FriendTable &friends, PacketTransport &transport, ConsoleValues &values,
                   std::function<QByteArray()> localAddress, QObject *parent)
    : QObject(parent), m_friends(friends), m_transport(transport), m_values(values),
      m_localAddress(std::move(localAddress))
{
}

Presence::Status Presence::statusFromStored(int stored, bool *known)
{
    const bool valid = stored == Offline || stored == Online || stored == Hidden || stored == Away;
    if (known)
        *known = valid;
    return valid ? Status(stored) : Online;
}

void Presence::restoreStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged(status);
}

QByteArray Presence::announcement(Status status, const QByteArray &address) const
{
    switch (status) {
    case Online:
        return build(CMD_ONLINE, {address, m_values.OwnNickname, m_values.OwnFace});
    case Away:
        return build(CMD_AWAY, {address, m_values.OwnNickname, m_values.OwnFace});
    case Hidden:
        return build(CMD_HIDDEN, {address, m_values.OwnNickname});
    case Offline:
        break;
    }
    return build(CMD_OFFLINE, {address});
}

void Presence::AnnouncePresence()
{
    m_friends.clear();
    m_values.OwnAddress = m_localAddress();
    m_transport.SendBroadcast(announcement(m_status, m_values.OwnAddress));
    Q_EMIT ownAddressRefreshed();
}

void Presence::SetStatus(Status status)
{
    restoreStatus(status);
    // The address of this moment, not the cached one: a status command neither refreshes OwnAddress
    // nor empties the table.
    m_transport.SendBroadcast(announcement(status, m_localAddress()));
}

void Presence::onOffline(const QByteArray &packet)
{
    const QByteArray address = ExtractField(2, packet);
    m_friends.removeIP(address);
    Q_EMIT hostWentOffline(address);
}

void Presence::onOnline(const QByteArray &packet)
{
    const QByteArray address = ExtractField(2, packet);
    if (address == m_localAddress())
        return;
    m_friends.addIfNew(ExtractField(3, packet), address, ExtractField(4, packet));
    answer(address);
}

void Presence::onHidden(const QByteArray &packet)
{
    const QByteArray address = ExtractField(2, packet);
    if (address == m_localAddress())
        return;
    m_friends.removeIP(address);
    answer(address);
}

void Presence::onPresenceReply(const QByteArray &packet)
{
    m_friends.addIfNew(ExtractField(3, packet), ExtractField(2, packet), ExtractField(4, packet));
}

void Presence::answer(const QByteArray &address)
{
    if (m_status == Hidden)
        return;
    m_transport.SendReply(address, presenceReply(), PacketTransport::ReplyKind::Presence);
}

QByteArray Presence::presenceReply() const
{
    return build(CMD_PRESENCE_REPLY, {m_localAddress(), m_values.OwnNickname, m_values.OwnFace});
}
