#pragma once

#include "engine/Packet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

class NoticeSink;

// What a chat message's sender shows while it writes: the window's gauge and information strip.
class SendProgress
{
public:
    virtual ~SendProgress() = default;
    // Called once the connection stands, before the first piece.
    virtual void beginPieces(int pieces) = 0;
    // Called before piece (1-based) is written; the caller is blocked, so repaint now.
    virtual void setPiece(int piece) = 0;
    virtual void sendFailed() = 0;
};

struct SendOptions
{
    quint16 port = Packet::TcpPort;
    // A host that never answers must not freeze the desktop for minutes.
    int connectTimeoutMs = 5000;
    int pieceTimeoutMs = 15000;
    // How long the peer has to close after the last piece; a reset within it means the message was thrown away.
    int closeTimeoutMs = 3000;
};

namespace MessageSender {

inline constexpr qsizetype PieceBytes = 30000;
// Messages of more pieces than this are written several pieces at a time.
inline constexpr int GaugeSteps = 100;

int pieceCount(qsizetype packetBytes);

} // namespace MessageSender

// Writes the packet over a connection of its own to the address, in pieces of 30000 bytes, then closes it.
// Blocks, boundedly. 0 when every piece was written; -1 after a notice on failure.
int SendWithProgress(QByteArrayView address, const QByteArray &packet, NoticeSink &notices,
                     SendProgress *progress = nullptr, const SendOptions &options = {});
