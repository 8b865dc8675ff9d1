#pragma once

#include "engine/SettingsNames.h"

#include <QAnyStringView>
#include <QLatin1StringView>
#include <iterator>

// The menu's switches, one row each: the console state's property, the menu item that shows it, where the
// value is stored and what it is before anything was read (the menu as created, which also stays when the
// store cannot be opened). Adding a switch is one row here, its enumerator, its property on ConsoleState
// and its line in the menu.
// Its own namespace: the enumerators carry the names of the storage constants of settings.
namespace switches {

using namespace settings;

enum class Switch {
    AutoRun,
    Helper,
    AutoShow,
    RemoteControl,
    GameAgree,
    Suggestive,
    Innervation,
    BroadcastAutoHide,
    ShowBroadcasting,
};

enum class Place {
    AutoStart, // the auto-start entry: on while it exists
    Profile,
    System,
};

struct SwitchRow
{
    Switch which;
    const char *property;
    const char *menuItem;
    Place place;
    QLatin1StringView valueName;
    bool initial;
    // The user hears when the change could not be stored.
    bool noticeWhenRefused = false;
};

// Start-up reads the switches of one key in this order.
inline constexpr SwitchRow Switches[] = {
    {Switch::AutoRun, "autoRun", "MenuItem_AutoRun", Place::AutoStart, AutoStartValue, false},
    {Switch::Helper, "helper", "MenuItem_Helper", Place::Profile, HelperSwitch, false},
    {Switch::AutoShow, "autoShow", "MenuItem_IAtuoShow", Place::System, AtuoShow, true},
    {Switch::RemoteControl, "remoteControl", "MenuItem_RTelnet", Place::System, Telnet, true},
    {Switch::GameAgree, "gameAgree", "MenuItem_GAgree", Place::System, GameAgree, true},
    {Switch::Suggestive, "suggestive", "MenuItem_ISuggestive", Place::System, Suggestive, false},
    {Switch::Innervation, "innervation", "MenuItem_IInnervation", Place::System, Innervation, false},
    {Switch::BroadcastAutoHide, "broadcastAutoHide", "MenuItem_BAutoHide", Place::System, BAutoHide, false},
    {Switch::ShowBroadcasting, "showBroadcasting", "MenuItem_BShow", Place::System, ShowBroadcasting, true, true},
};

inline constexpr int SwitchCount = int(std::size(Switches));

constexpr const SwitchRow &row(Switch which)
{
    return Switches[int(which)];
}

constexpr bool rowsInEnumOrder()
{
    for (int i = 0; i < SwitchCount; ++i)
        if (int(Switches[i].which) != i)
            return false;
    return true;
}
static_assert(rowsInEnumOrder(), "row(which) indexes the table by the enumerator");

// The row whose menu item is named so; null for items that are not switches.
const SwitchRow *rowOfMenuItem(QAnyStringView menuItem);

} // namespace switches

namespace settings {
using switches::Place;
using switches::row;
using switches::rowOfMenuItem;
using switches::Switch;
using switches::SwitchCount;
using switches::Switches;
using switches::SwitchRow;
} // namespace settings
