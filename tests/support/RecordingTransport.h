#pragma once

#include "engine/PacketTransport.h"

#include <QByteArrayList>
#include <QList>
#include <QPair>

// Records what would have left the instance; SendDirect answers with `directResult` (default: all sent).
class RecordingTransport final : public PacketTransport
{
public:
    int SendDirect(const QByteArray &address, const QByteArray &packet) override
    {
        direct.append({address, packet});
        return directResult < 0 ? directResult : int(packet.size());
    }
    void SendBroadcast(const QByteArray &packet) override { broadcasts.append(packet); }

    QList<QPair<QByteArray, QByteArray>> direct;
    QByteArrayList broadcasts;
    int directResult = 0;
};
