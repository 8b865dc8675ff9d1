#pragma once

#include <QByteArray>

// The two ways a packet leaves this instance. The socket engine is the real one; rule tests record.
class PacketTransport
{
public:
    virtual ~PacketTransport() = default;
    // One packet over a fresh connection to port 3289 of the address: bytes sent, or -1.
    virtual int SendDirect(const QByteArray &address, const QByteArray &packet) = 0;
    // One datagram to 255.255.255.255, port 6543.
    virtual void SendBroadcast(const QByteArray &packet) = 0;
};
