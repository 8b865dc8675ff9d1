#include "platform/SocketTable.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <unistd.h>

namespace host {

namespace {

// A host with more processes than this is not searched to the end: the answer is only a hint.
constexpr int MaxProcessesSearched = 4096;
// The tables of a busy host are long; a diagnosis needs only the rows of two ports.
constexpr qint64 MaxTableBytes = qint64(16) << 20;
constexpr char ListeningState[] = "0A";

// "0100007F:1989": the address as the kernel prints its network-order word, then the port.
bool readEndpoint(QByteArrayView text, quint32 *address, quint16 *port)
{
    const qsizetype colon = text.indexOf(':');
    if (colon != 8 || text.size() != 13)
        return false;
    bool addressOk = false;
    bool portOk = false;
    const uint word = text.first(8).toUInt(&addressOk, 16);
    const uint number = text.sliced(9).toUInt(&portOk, 16);
    if (!addressOk || !portOk || number > 0xFFFF)
        return false;
    *address = ntohl(word);
    *port = quint16(number);
    return true;
}

// The text of a link as it is: Qt would make "socket:[…]" a path.
QString linkText(const QString &path)
{
    char target[64];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QString::fromLatin1(target, n) : QString();
}

} // namespace

QList<BoundSocket> BoundSockets(QByteArrayView table, quint16 port, bool listeningOnly)
{
    QList<BoundSocket> found;
    for (const QByteArrayView line : QByteArray::fromRawData(table.data(), table.size()).split('\n')) {
        const QList<QByteArray> fields = line.toByteArray().simplified().split(' ');
        // sl local remote st tx:rx tr:when retrnsmt uid timeout inode …
        if (fields.size() < 10 || !fields.at(0).endsWith(':'))
            continue;
        BoundSocket socket;
        if (!readEndpoint(fields.at(1), &socket.address, &socket.port) || socket.port != port)
            continue;
        if (listeningOnly && fields.at(3) != ListeningState)
            continue;
        bool inodeOk = false;
        socket.inode = fields.at(9).toULongLong(&inodeOk);
        if (inodeOk)
            found.append(socket);
    }
    return found;
}

QList<BoundSocket> ReadBoundSockets(const QString &path, quint16 port, bool listeningOnly)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A file of /proc reports no size; read until its end, within the bound.
    return BoundSockets(file.read(MaxTableBytes), port, listeningOnly);
}

std::optional<SocketHolder> HolderOfSocket(quint64 inode)
{
    if (inode == 0)
        return std::nullopt;
    const QString wanted = QStringLiteral("socket:[%1]").arg(inode);
    const QDir proc(QStringLiteral("/proc"));
    int searched = 0;
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        if (++searched > MaxProcessesSearched)
            break;
        const QDir fds(proc.filePath(entry + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(QDir::Files | QDir::System)) {
            if (linkText(fds.filePath(fd)) == wanted) {
                QFile comm(proc.filePath(entry + QStringLiteral("/comm")));
                const QString command =
                    comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.read(64)).trimmed() : QString();
                return SocketHolder{pid, command};
            }
        }
    }
    return std::nullopt;
}

} // namespace host
