#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// A hierarchical key-value store with the three value types of the Windows registry, so the key paths
// ("Software\Duvo\Parlune\PIM", …), value names and types stay what they were there. Strings are code
// page 950 bytes and are stored as bytes, never re-encoded. A value read with another type than the one
// it was stored with reads as missing, yet exists.
class SettingsKey
{
public:
    virtual ~SettingsKey() = default;

    // True when the value exists, whatever its type.
    virtual bool exists(QAnyStringView name) const = 0;
    virtual std::optional<QByteArray> readString(QAnyStringView name) const = 0;
    virtual std::optional<qint32> readInteger(QAnyStringView name) const = 0;
    virtual std::optional<QByteArray> readBinary(QAnyStringView name) const = 0;

    // Each write replaces the value, whatever type it had, and reports whether it was stored.
    virtual bool writeString(QAnyStringView name, const QByteArray &bytes) = 0;
    virtual bool writeInteger(QAnyStringView name, qint32 number) = 0;
    virtual bool writeBinary(QAnyStringView name, const QByteArray &bytes) = 0;
    // True when the value is gone afterwards (also when it never existed).
    virtual bool remove(QAnyStringView name) = 0;
};

class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // Opens the key, creating it when missing; null when it cannot be opened. Nothing keeps a key open:
    // callers open, work and let the key go, as the registry was used.
    virtual std::unique_ptr<SettingsKey> openKey(QAnyStringView keyPath) = 0;
};

// One value at a time: open the key, read or write, close. Every write reports whether it was stored.
namespace settings {
bool writeString(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, const QByteArray &bytes);
bool writeInteger(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, qint32 number);
bool writeBinary(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, const QByteArray &bytes);
bool remove(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name);
std::optional<QByteArray> readString(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name);
std::optional<qint32> readInteger(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name);
std::optional<QByteArray> readBinary(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name);
} // namespace settings

// The store of a desktop session: an INI file under the user's configuration directory
// (<config>/Parlune/Parlune.conf) for the program's own keys, and the XDG autostart entry
// <config>/autostart/parlune.desktop standing in for the value "Parlune" of the auto-start key.
// The program writes every value with its type; a value typed in by hand without one reads as text, and
// also as a number when it is a decimal one. The file and the folders it creates are its owner's only.
class IniSettingsStore final : public SettingsStore
{
public:
    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config, read at every call.
    static QString defaultConfigDirectory();

    explicit IniSettingsStore(QString configDirectory = defaultConfigDirectory());
    Q_DISABLE_COPY_MOVE(IniSettingsStore)

    std::unique_ptr<SettingsKey> openKey(QAnyStringView keyPath) override;

    QString iniFilePath() const;
    QString autostartDirectory() const;

private:
    QString m_configDirectory;
};
