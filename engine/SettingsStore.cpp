#include "engine/SettingsStore.h"

#include "engine/AutostartEntry.h"
#include "engine/Cp950.h"
#include "engine/SettingsNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {

// QSettings keeps no types of its own in an INI file (an integer reads back as text), so every value
// is kept as text with a type prefix in the spirit of a registry export: "sz:", "dword:", "hex:".
constexpr QLatin1StringView StringPrefix{"sz:"};
constexpr QLatin1StringView IntegerPrefix{"dword:"};
constexpr QLatin1StringView BinaryPrefix{"hex:"};

enum class ValueType { String, Integer, Binary };

struct StoredValue
{
    ValueType type;
    QByteArray bytes;
    qint32 number = 0;
};

// Code page 950 bytes stay bytes: printable ASCII as is, everything else as %XX. ',' is escaped too,
// because an unquoted comma makes QSettings read a list.
QString escapeBytes(const QByteArray &bytes)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7e && byte != '%' && byte != ',') {
            out += QLatin1Char(c);
        } else {
            out += u'%';
            out += QLatin1Char(hexDigits[byte >> 4]);
            out += QLatin1Char(hexDigits[byte & 0xf]);
        }
    }
    return out;
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

std::optional<QByteArray> unescapeBytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() > 0x7e)
            return std::nullopt;
        if (c != u'%') {
            out += char(c.unicode());
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high << 4 | low);
        i += 2;
    }
    return out;
}

std::optional<QByteArray> fromHex(QStringView text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high << 4 | low);
    }
    return out;
}

std::optional<StoredValue> parseStored(const QVariant &variant)
{
    if (variant.typeId() != QMetaType::QString)
        return std::nullopt; // a list, a byte array or anything else written by other means
    const QString text = variant.toString();
    if (text.startsWith(StringPrefix)) {
        if (auto bytes = unescapeBytes(QStringView(text).mid(StringPrefix.size())))
            return StoredValue{ValueType::String, *bytes};
    } else if (text.startsWith(IntegerPrefix)) {
        const QStringView digits = QStringView(text).mid(IntegerPrefix.size());
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (ok && !digits.isEmpty() && digits.size() <= 8 && hexValue(digits[0]) >= 0)
            return StoredValue{ValueType::Integer, {}, static_cast<qint32>(number)};
    } else if (text.startsWith(BinaryPrefix)) {
        if (auto bytes = fromHex(QStringView(text).mid(BinaryPrefix.size())))
            return StoredValue{ValueType::Binary, *bytes};
    }
    return std::nullopt;
}

// Value names are single names; a separator would reach into another key.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\');
}

class IniSettingsKey final : public SettingsKey
{
public:
    IniSettingsKey(const QString &filePath, const QString &group) : m_settings(filePath, QSettings::IniFormat)
    {
        m_settings.beginGroup(group);
    }
    Q_DISABLE_COPY_MOVE(IniSettingsKey)

    // A file that cannot be written, or that QSettings could not read, counts as a key that does not
    // open: writing it would replace what could not be read.
    bool isUsable() { return m_settings.status() == QSettings::NoError && m_settings.isWritable(); }

    bool exists(QAnyStringView name) const override
    {
        const QString key = name.toString();
        return isPlainName(key) && m_settings.contains(key);
    }
    std::optional<QByteArray> readString(QAnyStringView name) const override
    {
        const auto stored = read(name);
        return stored && stored->type == ValueType::String ? std::optional(stored->bytes) : std::nullopt;
    }
    std::optional<qint32> readInteger(QAnyStringView name) const override
    {
        const auto stored = read(name);
        return stored && stored->type == ValueType::Integer ? std::optional(stored->number) : std::nullopt;
    }
    std::optional<QByteArray> readBinary(QAnyStringView name) const override
    {
        const auto stored = read(name);
        return stored && stored->type == ValueType::Binary ? std::optional(stored->bytes) : std::nullopt;
    }

    bool writeString(QAnyStringView name, const QByteArray &bytes) override
    {
        return write(name, StringPrefix + escapeBytes(bytes));
    }
    bool writeInteger(QAnyStringView name, qint32 number) override
    {
        return write(name, IntegerPrefix + QString::number(static_cast<quint32>(number), 16).rightJustified(8, u'0'));
    }
    bool writeBinary(QAnyStringView name, const QByteArray &bytes) override
    {
        return write(name, BinaryPrefix + QString::fromLatin1(bytes.toHex()));
    }
    bool remove(QAnyStringView name) override
    {
        const QString key = name.toString();
        if (!isPlainName(key))
            return false;
        if (!m_settings.contains(key))
            return true;
        m_settings.remove(key);
        m_settings.sync();
        return m_settings.status() == QSettings::NoError;
    }

private:
    std::optional<StoredValue> read(QAnyStringView name) const
    {
        const QString key = name.toString();
        if (!isPlainName(key))
            return std::nullopt;
        return parseStored(m_settings.value(key));
    }

    bool write(QAnyStringView name, const QString &text)
    {
        const QString key = name.toString();
        if (!isPlainName(key))
            return false;
        m_settings.setValue(key, text);
        // Written through at once, so the caller learns whether it reached the disk.
        m_settings.sync();
        return m_settings.status() == QSettings::NoError;
    }

    mutable QSettings m_settings;
};

// The auto-start key knows one value, "Parlune": the desktop entry that starts the program at log-on.
// Its text is the executable's path in code page 950, as every string of the store.
class AutostartKey final : public SettingsKey
{
public:
    explicit AutostartKey(QString directory) : m_directory(std::move(directory)) {}
    Q_DISABLE_COPY_MOVE(AutostartKey)

    // The folder exists and is writable, or can be created under the nearest folder that exists.
    bool isUsable() const
    {
        QFileInfo info(m_directory);
        while (!info.exists()) {
            const QString parent = info.absolutePath();
            if (parent == info.absoluteFilePath())
                return false;
            info = QFileInfo(parent);
        }
        return info.isDir() && info.isWritable();
    }

    bool exists(QAnyStringView name) const override { return isEntryName(name) && QFileInfo::exists(entryPath()); }
    std::optional<QByteArray> readString(QAnyStringView name) const override
    {
        if (!exists(name))
            return std::nullopt;
        QFile file(entryPath());
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        // A desktop entry is a few lines; a huge file is not ours to load.
        const std::optional<QString> executable = autostart::executableOf(file.read(MaxEntryBytes));
        return executable ? cp950::encode(*executable) : QByteArray();
    }
    std::optional<qint32> readInteger(QAnyStringView) const override { return std::nullopt; }
    std::optional<QByteArray> readBinary(QAnyStringView) const override { return std::nullopt; }

    bool writeString(QAnyStringView name, const QByteArray &bytes) override
    {
        if (!isEntryName(name))
            return false;
        bool ok = false;
        const QString executable = cp950::decode(bytes, &ok);
        const std::optional<QByteArray> entry = autostart::entryFor(executable);
        if (!ok || !entry || !QDir().mkpath(m_directory))
            return false;
        QSaveFile file(entryPath());
        return file.open(QIODevice::WriteOnly) && file.write(*entry) == entry->size() && file.commit();
    }
    bool writeInteger(QAnyStringView, qint32) override { return false; }
    bool writeBinary(QAnyStringView, const QByteArray &) override { return false; }
    bool remove(QAnyStringView name) override
    {
        if (!exists(name))
            return true;
        return QFile::remove(entryPath());
    }

private:
    static constexpr qint64 MaxEntryBytes = 64 * 1024;

    static bool isEntryName(QAnyStringView name)
    {
        return QAnyStringView::compare(name, settings::AutoStartValue, Qt::CaseInsensitive) == 0;
    }
    QString entryPath() const { return m_directory + u'/' + QLatin1StringView(autostart::FileName); }

    QString m_directory;
};

} // namespace

QString IniSettingsStore::defaultConfigDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path.
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.config");
}

IniSettingsStore::IniSettingsStore(QString configDirectory) : m_configDirectory(std::move(configDirectory)) {}

QString IniSettingsStore::iniFilePath() const
{
    return m_configDirectory + QStringLiteral("/Parlune/Parlune.conf");
}

QString IniSettingsStore::autostartDirectory() const
{
    return m_configDirectory + QStringLiteral("/autostart");
}

std::unique_ptr<SettingsKey> IniSettingsStore::openKey(QAnyStringView keyPath)
{
    if (QAnyStringView::compare(keyPath, settings::AutoStartKey, Qt::CaseInsensitive) == 0) {
        auto key = std::make_unique<AutostartKey>(autostartDirectory());
        if (!key->isUsable())
            return nullptr;
        return key;
    }
    const QString group = keyPath.toString().replace(u'\\', u'/');
    if (group.isEmpty() || group.startsWith(u'/') || group.endsWith(u'/') || group.contains(QStringLiteral("//")))
        return nullptr;
    auto key = std::make_unique<IniSettingsKey>(iniFilePath(), group);
    if (!key->isUsable())
        return nullptr;
    return key;
}

namespace settings {

bool writeString(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, const QByteArray &bytes)
{
    const auto key = store.openKey(keyPath);
    return key && key->writeString(name, bytes);
}

bool writeInteger(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, qint32 number)
{
    const auto key = store.openKey(keyPath);
    return key && key->writeInteger(name, number);
}

bool writeBinary(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name, const QByteArray &bytes)
{
    const auto key = store.openKey(keyPath);
    return key && key->writeBinary(name, bytes);
}

bool remove(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name)
{
    const auto key = store.openKey(keyPath);
    return key && key->remove(name);
}

std::optional<QByteArray> readString(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name)
{
    const auto key = store.openKey(keyPath);
    return key ? key->readString(name) : std::nullopt;
}

std::optional<qint32> readInteger(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name)
{
    const auto key = store.openKey(keyPath);
    return key ? key->readInteger(name) : std::nullopt;
}

std::optional<QByteArray> readBinary(SettingsStore &store, QAnyStringView keyPath, QAnyStringView name)
{
    const auto key = store.openKey(keyPath);
    return key ? key->readBinary(name) : std::nullopt;
}

} // namespace settings
