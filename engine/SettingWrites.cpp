#include "engine/SettingWrites.h"

#include "base/Cp950.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"

#include <QCoreApplication>

const switches::SwitchRow *switches::rowOfMenuItem(QAnyStringView menuItem)
{
    for (const SwitchRow &r : Switches)
        if (QAnyStringView(QLatin1StringView(r.menuItem)) == menuItem)
            return &r;
    return nullptr;
}

namespace settings {

bool writeSwitch(SettingsStore &store, Switch which, bool on, const QString &executablePath)
{
    const SwitchRow &r = row(which);
    switch (r.place) {
    case Place::AutoStart:
        return writeAutoStart(store, on,
                              executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath);
    case Place::Profile:
        return writeInteger(store, ProfileKey, r.valueName, on ? 1 : 0);
    case Place::System:
        break;
    }
    return writeInteger(store, SystemKey, r.valueName, on ? 1 : 0);
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
