#pragma once

#include "engine/SwitchTable.h"

#include <QByteArray>
#include <QString>
#include <optional>

class SettingsStore;

// The single writes of the commands that change a setting: open the key, write, close. Each reports
// whether the value was stored; the caller decides whether the user hears of it.
namespace settings {

// The auto-start entry names the executable; empty: this process's own.
bool writeSwitch(SettingsStore &store, Switch which, bool on, const QString &executablePath = {});
// The number of a status (Presence::Status).
bool writeState(SettingsStore &store, qint32 state);

bool writeNickname(SettingsStore &store, const QByteArray &nickname);
bool writePassword(SettingsStore &store, const QByteArray &password);
bool writeIme(SettingsStore &store, const QByteArray &imeName);
// A face longer than 30000 bytes is refused, not cut: a cut bitmap is a broken one.
bool writeFace(SettingsStore &store, const QByteArray &face);

bool writeHelperPath(SettingsStore &store, const QByteArray &path);
// Nullopt when the system key does not open or holds no path.
std::optional<QByteArray> readHelperPath(SettingsStore &store);

// On: the program starts at log-on with this executable. Off: it no longer does.
bool writeAutoStart(SettingsStore &store, bool on, const QString &executablePath);

} // namespace settings
