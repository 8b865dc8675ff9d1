#include "engine/SettingWrites.h"

#include "base/Cp950.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"

namespace settings {
namespace {

QLatin1StringView switchName(Switch which)
{
    switch (which) {
    case Switch::Helper:
        return HelperSwitch;
    case Switch::AtuoShow:
        return AtuoShow;
    case Switch::Telnet:
        return Telnet;
    case Switch::GameAgree:
        return GameAgree;
    case Switch::Suggestive:
        return Suggestive;
    case Switch::Innervation:
        return Innervation;
    case Switch::BAutoHide:
        return BAutoHide;
    case Switch::ShowBroadcasting:
        return ShowBroadcasting;
    }
    Q_UNREACHABLE();
}

} // namespace

bool writeSwitch(SettingsStore &store, Switch which, bool on)
{
    const QLatin1StringView key = which == Switch::Helper ? ProfileKey : SystemKey;
    return writeInteger(store, key, switchName(which), on ? 1 : 0);
}

bool writeState(SettingsStore &store, qint32 state)
{
    return writeInteger(store, SystemKey, State, state);
}

bool writeNickname(SettingsStore &store, const QByteArray &nickname)
{
    return writeString(store, ProfileKey, Nickname, nickname);
}

bool writePassword(SettingsStore &store, const QByteArray &password)
{
    return writeString(store, ProfileKey, Password, password);
}

bool writeIme(SettingsStore &store, const QByteArray &imeName)
{
    return writeString(store, ProfileKey, Ime, imeName);
}

bool writeFace(SettingsStore &store, const QByteArray &face)
{
    if (face.size() > MaxFaceBytes)
        return false;
    return writeBinary(store, ProfileKey, Face, face);
}

bool writeHelperPath(SettingsStore &store, const QByteArray &path)
{
    return writeString(store, SystemKey, HelperPath, path);
}

std::optional<QByteArray> readHelperPath(SettingsStore &store)
{
    return readString(store, SystemKey, HelperPath);
}

bool writeAutoStart(SettingsStore &store, bool on, const QString &executablePath)
{
    if (!on)
        return remove(store, AutoStartKey, AutoStartValue);
    bool encodable = false;
    const QByteArray path = cp950::encode(executablePath, &encodable);
    return encodable && writeString(store, AutoStartKey, AutoStartValue, path);
}

} // namespace settings
