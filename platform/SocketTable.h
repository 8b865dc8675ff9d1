#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Who holds a port on this host, from the kernel's socket tables. They show every process of the network
// namespace, not only this one, so they tell "bound by another program" apart from "bound by nobody".
namespace host {

inline constexpr char ProcNetUdpPath[] = "/proc/net/udp";
inline constexpr char ProcNetTcpPath[] = "/proc/net/tcp";

struct BoundSocket
{
    quint32 address = 0; // host byte order; 0 for any address
    quint16 port = 0;
    quint64 inode = 0;
};

struct SocketHolder
{
    qint64 pid = 0;
    QString command;
};

// The IPv4 sockets of a /proc/net/udp or /proc/net/tcp table bound to this local port; of a TCP table only
// the listening ones. Lines that do not read as rows are skipped.
QList<BoundSocket> BoundSockets(QByteArrayView table, quint16 port, bool listeningOnly);

// Reads the table at this path; empty when it cannot be read.
QList<BoundSocket> ReadBoundSockets(const QString &path, quint16 port, bool listeningOnly);

// The process that has the socket of this inode open, looked for among at most a few thousand processes;
// nothing when it is not found or not readable (another user's process, without root).
std::optional<SocketHolder> HolderOfSocket(quint64 inode);

} // namespace host
