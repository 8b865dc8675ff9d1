#pragma once

#include <QLatin1StringView>

// Key paths and value names as Windows peers of the program know them; they must not change.
namespace settings {

inline constexpr QLatin1StringView ProfileKey{"Software\\Duvo\\Parlune\\PIM"};
inline constexpr QLatin1StringView SystemKey{"Software\\Duvo\\Parlune\\SYS"};
inline constexpr QLatin1StringView AutoStartKey{"Software\\Microsoft\\Windows\\CurrentVersion\\Run"};

// Profile key.
inline constexpr QLatin1StringView Number{"Number"};
inline constexpr QLatin1StringView Nickname{"Nickname"};
inline constexpr QLatin1StringView HelperSwitch{"Helper"};
inline constexpr QLatin1StringView Face{"Face"};
inline constexpr QLatin1StringView Password{"Password"};
inline constexpr QLatin1StringView Ime{"Ime"};

// System key.
inline constexpr QLatin1StringView State{"State"};
inline constexpr QLatin1StringView HelperPath{"Helper"};
inline constexpr QLatin1StringView AtuoShow{"AtuoShow"};
inline constexpr QLatin1StringView Telnet{"Telnet"};
inline constexpr QLatin1StringView GameAgree{"GameAgree"};
inline constexpr QLatin1StringView Suggestive{"Suggestive"};
inline constexpr QLatin1StringView Innervation{"Innervation"};
inline constexpr QLatin1StringView BAutoHide{"BAutoHide"};
inline constexpr QLatin1StringView ShowBroadcasting{"ShowBroadcasting"};
// Text: the extra destinations of every broadcast, dotted addresses joined by commas. Absent: none.
inline constexpr QLatin1StringView ExtraDestinations{"ExtraDestinations"};
// Days history is kept, an integer; 0 (also when missing) keeps it for ever.
inline constexpr QLatin1StringView HistoryDays{"HistoryDays"};

// Auto-start key.
inline constexpr QLatin1StringView AutoStartValue{"Parlune"};

inline constexpr qsizetype MaxFaceBytes = 30000;
inline constexpr qsizetype MaxNicknameCharacters = 15;

} // namespace settings
