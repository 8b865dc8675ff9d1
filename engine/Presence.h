#pragma once

#include "engine/ConsoleValues.h"

#include <QByteArray>
#include <QObject>
#include <functional>

class FriendTable;
class PacketTransport;

// The user's status and the announcements that keep every friend table current. Each instance broadcasts its
// status; listeners update their tables and answer directly unless they are hidden; the answers rebuild the
// announcer's table.
class Presence final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Presence)

public:
    // The values are the command codes of the matching announcement and what "State" stores.
    enum Status { Offline = 0, Online = 1, Hidden = 2, Away = 6 };
    Q_ENUM(Status)

    Presence(FriendTable &friends, PacketTransport &transport, ConsoleValues &values,
             std::function<QByteArray()> localAddress, QObject *parent = nullptr);

    Status status() const { return m_status; }
    // Sets the status without announcing it (start-up, from the stored "State").
    void restoreStatus(Status status);
    // A stored number that is one of the four values; anything else means online.
    static Status statusFromStored(int stored, bool *known = nullptr);

    // Empties the friend table, refreshes the own address and broadcasts the status.
    void AnnouncePresence();
    // The four status commands: set and broadcast with the address of this moment. The console state stores
    // the status.
    void SetStatus(Status status);

    // Receipt of the presence commands.
    void onOffline(const QByteArray &packet);
    void onOnline(const QByteArray &packet); // CMD_ONLINE and CMD_AWAY
    void onHidden(const QByteArray &packet);
    void onPresenceReply(const QByteArray &packet);

    // The announcement of a status from an address (from this moment's address when none is given), and the
    // answer this instance gives to announcements.
    QByteArray announcement(Status status, const QByteArray &address) const;
    QByteArray announcement(Status status) const { return announcement(status, m_localAddress()); }
    QByteArray presenceReply() const;

Q_SIGNALS:
    void statusChanged(Presence::Status status);
    // A host announced that it goes offline (a game with it is over), whether or not it was a friend.
    void hostWentOffline(const QByteArray &address);
    // An announcement read the own address afresh (it may be the same).
    void ownAddressRefreshed();

private:
    void answer(const QByteArray &address);

    FriendTable &m_friends;
    PacketTransport &m_transport;
    ConsoleValues &m_values;
    std::function<QByteArray()> m_localAddress;
    Status m_status = Online;
};
