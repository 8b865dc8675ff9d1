#pragma once

#include <QByteArray>

// The two ways a packet leaves this instance. The socket engine is the real one; rule tests record.
class PacketTransport
{
public:
    // What an answer to an arriving packet is, so the transport can bound each kind on its own.
    enum class ReplyKind { Presence, Answer };

    virtual ~PacketTransport() = default;
    // One packet over a fresh connection to port 3289 of the address: bytes sent, or -1.
    virtual int SendDirect(const QByteArray &address, const QByteArray &packet) = 0;
    // One datagram to 255.255.255.255, port 6543.
    virtual void SendBroadcast(const QByteArray &packet) = 0;
    // An answer that an arriving packet asked for (presence answers, auto-replies, power-off answers). Any
    // host can name any address in a packet, so a transport may queue, thin out or drop these; the caller
    // learns nothing. Recording transports keep the plain direct send.
    virtual void SendReply(const QByteArray &address, const QByteArray &packet, ReplyKind kind)
    {
        Q_UNUSED(kind);
        SendDirect(address, packet);
    }
};
