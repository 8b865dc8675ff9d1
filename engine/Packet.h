#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <optional>

// The wire record: text fields, each preceded by the separator 0x08, the whole closed by 0x08.
// No header, no length, no escaping: a field value holding 0x08 is cut there by every receiver.
namespace Packet {

inline constexpr char Separator = '\x08';

// Broadcasts travel as datagrams to this port; every direct packet goes over a connection to the other.
inline constexpr quint16 UdpPort = 6543;
inline constexpr quint16 TcpPort = 3289;

enum Command : int {
    CMD_OFFLINE = 0,
    CMD_ONLINE = 1,
    CMD_HIDDEN = 2,
    CMD_PRESENCE_REPLY = 3,
    CMD_BROADCAST = 4,
    CMD_MESSAGE = 5,
    CMD_AWAY = 6,
    CMD_REMOTE_SHUTDOWN = 7,
    CMD_NOTICE = 8,
    CMD_GAME = 9,
    CMD_BULLETIN = 11,
    // File offers and their answers between Parlune hosts; hosts that do not know it ignore it.
    CMD_FILE_TRANSFER = 20,
};

// Field n (n >= 1). Missing, empty and unterminated fields all read as empty; never fails.
QByteArray ExtractField(int n, QByteArrayView packet);

// ⟨08⟩field⟨08⟩field⟨08⟩…, fields taken byte for byte.
QByteArray build(const QByteArrayList &fields);
// The same with the command code as field 1.
QByteArray build(int command, const QByteArrayList &fields);

// Field 1 as a signed decimal integer; nullopt when it is not one (empty text included).
std::optional<int> command(QByteArrayView packet);

} // namespace Packet
