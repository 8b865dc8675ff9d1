#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The XDG autostart entry that starts the program when the user logs on: a desktop entry whose Exec
// names the executable. Quoting follows the desktop entry format, so any path survives the round trip.
namespace autostart {

inline constexpr char FileName[] = "parlune.desktop";

// The complete entry, or nullopt for a path the format cannot carry (empty, relative, control characters).
std::optional<QByteArray> entryFor(const QString &executablePath);

// The executable named by an entry's Exec key, or nullopt when it has none that parses.
std::optional<QString> executableOf(const QByteArray &entry);

} // namespace autostart
