#include "engine/StartupSettings.h"

#include "base/Cp950.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"

#include <QFileInfo>

namespace {

// Writes the default when the value is missing, then reads it back. A value that exists is the user's,
// even when it cannot be read: it stays, and the default holds for this run, as it does when the write
// fails.
bool readSwitch(SettingsKey &key, QAnyStringView name)
{
    if (!key.exists(name))
        key.writeInteger(name, 1);
    return key.readInteger(name).value_or(1) != 0;
}

void readSwitches(SettingsKey &key, settings::Place place, StartupSettings &out)
{
    for (const settings::SwitchRow &row : settings::Switches)
        if (row.place == place)
            out.set(row.which, readSwitch(key, row.valueName));
}

QByteArray readText(SettingsKey &key, QAnyStringView name, const std::function<QByteArray()> &makeDefault)
{
    std::optional<QByteArray> fallback;
    auto defaultValue = [&] {
        if (!fallback)
            fallback = makeDefault ? makeDefault() : QByteArray();
        return *fallback;
    };
    if (!key.exists(name))
        key.writeString(name, defaultValue());
    if (const std::optional<QByteArray> stored = key.readString(name))
        return *stored;
    return defaultValue();
}

void readAutoStart(SettingsStore &store, const StartupEnvironment &environment, StartupSettings &out)
{
    const auto key = store.openKey(settings::AutoStartKey);
    if (!key)
        return;
    out.set(settings::Switch::AutoRun, key->exists(settings::AutoStartValue));
    if (!out.on(settings::Switch::AutoRun))
        return;
    // A path the code page cannot carry is not written: a '?' in it would break a working entry.
    bool encodable = false;
    const QByteArray path = cp950::encode(environment.ExecutablePath, &encodable);
    if (encodable && !environment.ExecutablePath.isEmpty())
        key->writeString(settings::AutoStartValue, path);
}

void readProfile(SettingsStore &store, const StartupEnvironment &environment, StartupSettings &out)
{
    const auto key = store.openKey(settings::ProfileKey);
    if (!key)
        return;
    key->writeString(settings::Number, environment.OwnAddress);

    const QByteArray computerName = cp950::encode(environment.ComputerName.left(settings::MaxNicknameCharacters));
    if (!key->exists(settings::Nickname))
        key->writeString(settings::Nickname, computerName);

    readSwitches(*key, settings::Place::Profile, out);

    // A longer face was written by other means; its head is what a face may be.
    out.OwnFace = key->readBinary(settings::Face).value_or(QByteArray()).left(settings::MaxFaceBytes);

    out.OwnNickname = key->readString(settings::Nickname).value_or(computerName);
    out.OwnPassword = readText(*key, settings::Password, {});
    out.ImeName = readText(*key, settings::Ime, environment.CurrentImeName);
}

void readSystem(SettingsStore &store, const StartupEnvironment &environment, const StartupHooks &hooks,
                StartupSettings &out)
{
    const auto key = store.openKey(settings::SystemKey);
    if (!key)
        return;

    if (!key->exists(settings::State))
        key->writeInteger(settings::State, Presence::Online);
    out.State = Presence::statusFromStored(key->readInteger(settings::State).value_or(Presence::Online));
    if (hooks.AnnouncePresence)
        hooks.AnnouncePresence(out);

    if (!key->exists(settings::HelperPath)) {
        bool encodable = false;
        const QByteArray path = cp950::encode(environment.ProgramDirectory + QStringLiteral("Helper.acs"), &encodable);
        // Left missing rather than stored with '?' in it; the assistant then finds no file.
        if (encodable)
            key->writeString(settings::HelperPath, path);
    }
    out.HelperPath = key->readString(settings::HelperPath).value_or(QByteArray());

    if (out.on(settings::Switch::Helper)) {
        bool decodable = false;
        const QString path = cp950::decode(out.HelperPath, &decodable);
        // Only the check mark goes: the profile's switch stays on, so the next start tries again.
        out.set(settings::Switch::Helper, decodable && !path.isEmpty() && QFileInfo(path).isFile());
        if (out.on(settings::Switch::Helper) && hooks.LoadAssistant)
            hooks.LoadAssistant(out);
    }

    readSwitches(*key, settings::Place::System, out);

    const bool ticker = out.on(settings::Switch::ShowBroadcasting);
    if (ticker && hooks.CreateTicker)
        hooks.CreateTicker(out);
    out.BAutoHideVisible = ticker;
}

} // namespace

StartupSettings ReadStartupSettings(SettingsStore &store, const StartupEnvironment &environment,
                                    const StartupHooks &hooks)
{
    StartupSettings out;
    readAutoStart(store, environment, out);
    readProfile(store, environment, out);
    readSystem(store, environment, hooks, out);
    return out;
}
