#include "messages/MessageSender.h"

#include "engine/InetAddr.h"
#include "engine/NoticeSink.h"
#include "engine/NoticeText.h"
#include "engine/WireTexts.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>

namespace {

void notify(NoticeSink &notices, const char16_t *text, const char *caption)
{
    notices.ShowNotice(NoticeText::build(text), QByteArray(caption));
}

// Straight to the kernel on a blocking descriptor: going through QTcpSocket's buffer costs a copy and a
// wake-up per piece, which halves the throughput of a long message. The send time-out bounds each piece.
bool makeBlocking(qintptr descriptor, int timeoutMs)
{
    const int fd = int(descriptor);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
        return false;
    // Bounds each call; the caller's deadline bounds the whole write.
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0;
}

bool writeAll(qintptr descriptor, const char *data, qsizetype length, const QDeadlineTimer &deadline)
{
    while (length > 0) {
        const ssize_t written = ::send(int(descriptor), data, size_t(length), MSG_NOSIGNAL);
        if (written > 0) {
            data += written;
            length -= written;
            if (length > 0 && deadline.hasExpired())
                return false;
        } else if (written == 0 || errno != EINTR || deadline.hasExpired()) {
            // EAGAIN here is the send time-out running out.
            return false;
        }
    }
    return true;
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
    QTcpSocket socket;
    const std::optional<quint32> target = inetAddr(address);
    if (target)
        socket.connectToHost(QHostAddress(*target), options.port);
    if (socket.error() == QAbstractSocket::SocketResourceError) {
        notify(notices, wire::SocketCreateFailed, wire::SocketEngineCaption);
        return -1;
    }
    const bool connected = target && socket.waitForConnected(options.connectTimeoutMs);

    const int pieces = MessageSender::pieceCount(packet.size());
    if (progress)
        progress->beginPieces(pieces);

    auto fail = [&] {
        notify(notices, wire::SendFailed, wire::SendErrorCaption);
        if (progress)
            progress->sendFailed();
        socket.abort();
        return -1;
    };
    if (!connected || !makeBlocking(socket.socketDescriptor(), options.pieceTimeoutMs))
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
        if (!writeAll(socket.socketDescriptor(), packet.constData() + offset, length,
                      QDeadlineTimer(qint64(options.pieceTimeoutMs) * (last - first + 1))))
            return fail();
    }
    socket.disconnectFromHost();
    return 0;
}
