#pragma once

#include "engine/Presence.h"

#include <QByteArray>
#include <QString>
#include <functional>

class SettingsStore;

// What the console takes from the store at start-up. The defaults are the menu as it is created, which
// is also what stays when a key cannot be opened.
struct StartupSettings
{
    // Console values, code page 950 bytes.
    QByteArray OwnNickname;
    QByteArray OwnFace;
    QByteArray OwnPassword;
    QByteArray ImeName;
    // The assistant's character file (system key "Helper"), empty when the system key did not open.
    QByteArray HelperPath;

    // Check marks of the menu.
    Presence::Status State = Presence::Online;
    bool AutoRun = false;
    bool Helper = false;
    bool AtuoShow = true;
    bool Telnet = true;
    bool GameAgree = true;
    bool Suggestive = false;
    bool Innervation = false;
    bool BAutoHide = false;
    bool ShowBroadcasting = true;
    // Whether "自動隱藏" is in the menu at all.
    bool BAutoHideVisible = true;
};

// What start-up needs to know about the host and the program.
struct StartupEnvironment
{
    QByteArray OwnAddress;
    QString ExecutablePath;
    // The executable's folder, ending in '/'.
    QString ProgramDirectory;
    // Cut to 15 characters when it becomes the default nickname.
    QString ComputerName;
    // Asked only when "Ime" is missing, since asking may start a process.
    std::function<QByteArray()> CurrentImeName;
};

// Start-up steps that belong to the console; each gets the values read so far. Any may be left empty.
struct StartupHooks
{
    // Right after the status has been read (State is set; nickname and face are known). Not called when
    // the system key does not open.
    std::function<void(const StartupSettings &)> AnnouncePresence;
    // The assistant's item is checked and the file named by HelperPath exists.
    std::function<void(const StartupSettings &)> LoadAssistant;
    // "顯示廣播" is checked; the console creates the ticker unless it exists already.
    std::function<void(const StartupSettings &)> CreateTicker;
};

// Reads the auto-start, profile and system keys in that order, writing every missing value's default
// first. A value that exists is never replaced: one that cannot be read as its type leaves the default
// for this run. A key that does not open is skipped as a whole, without a word.
StartupSettings ReadStartupSettings(SettingsStore &store, const StartupEnvironment &environment,
                                    const StartupHooks &hooks = {});
