#pragma once

#include "engine/Presence.h"
#include "engine/SwitchTable.h"

#include <QByteArray>
#include <QString>
#include <array>
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

    Presence::Status State = Presence::Online;
    // The switches, indexed by settings::Switch.
    std::array<bool, settings::SwitchCount> switches = initialSwitches();
    bool on(settings::Switch which) const { return switches[size_t(which)]; }
    void set(settings::Switch which, bool on) { switches[size_t(which)] = on; }
    static constexpr std::array<bool, settings::SwitchCount> initialSwitches()
    {
        std::array<bool, settings::SwitchCount> initial{};
        for (const settings::SwitchRow &row : settings::Switches)
            initial[size_t(row.which)] = row.initial;
        return initial;
    }

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
