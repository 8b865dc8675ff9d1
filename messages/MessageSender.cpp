#include "messages/MessageSender.h"

#include "engine/DirectConnection.h"
#include "engine/InetAddr.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/OtherSegments.h"
#include "engine/WireTexts.h"

namespace {

void notify(NoticeSink &notices, const char16_t *text, const char *caption)
{
    notices.ShowNotice(NoticeText::build(text), QByteArray(caption));
}

// One instance runs per host, so the message port of this host is this very program, whose thread is the one
// that would wait: its close could only come once the wait is over.
bool toThisProgram(quint32 address, quint16 port)
{
    return port == Packet::TcpPort && segments::HostSegments::read().isThisHost(address);
}

} // namespace

namespace MessageSender {

int pieceCount(qsizetype packetBytes)
{
    return int((packetBytes + PieceBytes - 1) / PieceBytes);
}

} // namespace MessageSender

int SendWithProgress(QByteArrayView address, const QByteArray &packet, NoticeSink &notices, SendProgress *progress,
                     const SendOptions &options)
{
    using Clock = DirectConnection::Clock;
    const std::chrono::milliseconds pieceTimeout(options.pieceTimeoutMs);
    const std::optional<quint32> target = inetAddr(address);
    // Text that is no address gets no socket; it fails below as an unreachable host does.
    std::optional<DirectConnection> connection;
    if (target) {
        connection.emplace();
        if (!connection->isOpen()) {
            notify(notices, wire::SocketCreateFailed, wire::SocketEngineCaption);
            return -1;
        }
    }
    const bool connected =
        connection && connection->connectTo(*target, options.port,
                                            Clock::now() + std::chrono::milliseconds(options.connectTimeoutMs));

    const int pieces = MessageSender::pieceCount(packet.size());
    if (progress)
        progress->beginPieces(pieces);

    auto fail = [&] {
        notify(notices, wire::SendFailed, wire::SendErrorCaption);
        if (progress)
            progress->sendFailed();
        connection.reset();
        return -1;
    };
    if (!connected)
        return fail();

    // A long message hands the kernel several pieces per call: one call per 30000 bytes costs a third of the
    // throughput on a fast link, and the gauge cannot show more than about a hundred steps anyway.
    const int piecesPerWrite = qMax(1, pieces / MessageSender::GaugeSteps);
    for (int first = 1; first <= pieces; first += piecesPerWrite) {
        const int last = qMin(pieces, first + piecesPerWrite - 1);
        if (progress) {
            for (int piece = first; piece <= last; ++piece)
                progress->setPiece(piece);
        }
        const qsizetype offset = qsizetype(first - 1) * MessageSender::PieceBytes;
        const qsizetype length = qMin(qsizetype(last - first + 1) * MessageSender::PieceBytes, packet.size() - offset);
        // Each piece may take its time-out, and none may stall longer than that.
        const auto deadline = Clock::now() + pieceTimeout * (last - first + 1);
        if (connection->write(QByteArrayView(packet).sliced(offset, length), deadline, pieceTimeout) != length)
            return fail();
    }
    if (!toThisProgram(*target, options.port) &&
        connection->discardedByPeer(Clock::now() + std::chrono::milliseconds(options.closeTimeoutMs)))
        return fail();
    return 0;
}
