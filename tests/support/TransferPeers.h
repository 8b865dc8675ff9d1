#pragma once

#include "admin/transfer/FileTransfer.h"
#include "admin/transfer/TransferTypes.h"
#include "engine/PacketTransport.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <chrono>

// Hands each packet straight to the other host's transfer engine, as its console would on arrival, and keeps
// (address, packet) of each; with result below 0 every send fails and nothing is handed on.
class PeerTransport final : public PacketTransport
{
public:
    int SendDirect(const QByteArray &address, const QByteArray &packet) override
    {
        sent.append({address, packet});
        if (result < 0)
            return -1;
        if (peer)
            peer->handlePacket(packet);
        return int(packet.size());
    }
    void SendBroadcast(const QByteArray &) override {}

    FileTransfer *peer = nullptr;
    int result = 0;
    QList<QPair<QByteArray, QByteArray>> sent;
};

// Failures end soon: a short connect time-out and few, quick retries.
inline Transfer::Limits quickLimits()
{
    using namespace std::chrono_literals;
    Transfer::Limits limits;
    limits.connectTimeout = 2s;
    limits.retryDelay = 50ms;
    limits.maxRetries = 2;
    return limits;
}
