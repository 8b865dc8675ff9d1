#include "engine/SettingsStore.h"

#include "base/Cp950.h"
#include "engine/AutostartEntry.h"
#include "engine/SettingsNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

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

bool hasTypePrefix(const QString &text)
{
    return text.startsWith(StringPrefix) || text.startsWith(IntegerPrefix) || text.startsWith(BinaryPrefix);
}

// A value typed into the file by hand ("Telnet=0", "Password=secret") carries no prefix. It is text, and
// a number as well when it is a plain decimal one, as a registry editor would have taken it.
std::optional<StoredValue> parsePlain(const QString &text, ValueType wanted)
{
    if (wanted == ValueType::String) {
        bool encodable = false;
        const QByteArray bytes = cp950::encode(text, &encodable);
        return encodable ? std::optional(StoredValue{ValueType::String, bytes}) : std::nullopt;
    }
    if (wanted == ValueType::Integer) {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok, 10);
        // A dword is unsigned in the registry; both readings of its 32 bits are taken.
        if (ok && number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<quint32>::max())
            return StoredValue{ValueType::Integer, {}, static_cast<qint32>(static_cast<quint32>(number))};
    }
    return std::nullopt;
}

std::optional<StoredValue> parseStored(const QVariant &variant, ValueType wanted)
{
    // A list (an unquoted comma), a byte array or anything else written by other means has no one reading.
    if (variant.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = variant.toString();
    if (!hasTypePrefix(text))
        return parsePlain(text, wanted);
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

// Creates the missing folders of path for the owner only; folders that exist are left as they are.
bool makePrivatePath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent != absolute && !makePrivatePath(parent))
        return false;
    const QByteArray native = QFile::encodeName(absolute);
    return ::mkdir(native.constData(), 0700) == 0 || (errno == EEXIST && QFileInfo(absolute).isDir());
}

// The settings file holds the remote-control password: it is created readable by its owner only, and a
// file that others may read is tightened. QSettings rewrites it keeping the mode it finds.
void makePrivateFile(const QString &path)
{
    if (!makePrivatePath(QFileInfo(path).absolutePath()))
        return;
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::stat(native.constData(), &info) == 0) {
        if (S_ISREG(info.st_mode) && (info.st_mode & (S_IRWXG | S_IRWXO)))
            ::chmod(native.constData(), info.st_mode & ~(S_IRWXG | S_IRWXO) & 07777);
        return;
    }
    if (errno != ENOENT)
        return;
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
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
        const auto stored = read(name, ValueType::String);
        return stored && stored->type == ValueType::String ? std::optional(stored->bytes) : std::nullopt;
    }
    std::optional<qint32> readInteger(QAnyStringView name) const override
    {
        const auto stored = read(name, ValueType::Integer);
        return stored && stored->type == ValueType::Integer ? std::optional(stored->number) : std::nullopt;
    }
    std::optional<QByteArray> readBinary(QAnyStringView name) const override
    {
        const auto stored = read(name, ValueType::Binary);
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
    std::optional<StoredValue> read(QAnyStringView name, ValueType wanted) const
    {
        const QString key = name.toString();
        if (!isPlainName(key))
            return std::nullopt;
        return parseStored(m_settings.value(key), wanted);
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

    // An entry switched off in the desktop's settings starts nothing, so it counts as absent: rewriting it
    // at start-up would switch it back on behind the user's back.
    bool exists(QAnyStringView name) const override
    {
        if (!isEntryName(name) || !QFileInfo::exists(entryPath()))
            return false;
        const std::optional<QByteArray> entry = readEntry();
        return !entry || !autostart::isSwitchedOff(*entry);
    }
    std::optional<QByteArray> readString(QAnyStringView name) const override
    {
        if (!exists(name))
            return std::nullopt;
        const std::optional<QByteArray> entry = readEntry();
        const std::optional<QString> executable = entry ? autostart::executableOf(*entry) : std::nullopt;
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
        if (!ok || !entry || !makePrivatePath(m_directory))
            return false;
        QSaveFile file(entryPath());
        return file.open(QIODevice::WriteOnly) && file.write(*entry) == entry->size() && file.commit();
    }
    bool writeInteger(QAnyStringView, qint32) override { return false; }
    bool writeBinary(QAnyStringView, const QByteArray &) override { return false; }
    bool remove(QAnyStringView name) override
    {
        if (!isEntryName(name) || !QFileInfo::exists(entryPath()))
            return true;
        return QFile::remove(entryPath());
    }

private:
    static constexpr qint64 MaxEntryBytes = 64 * 1024;

    static bool isEntryName(QAnyStringView name)
    {
        return QAnyStringView::compare(name, settings::AutoStartValue, Qt::CaseInsensitive) == 0;
    }
    std::optional<QByteArray> readEntry() const
    {
        QFile file(entryPath());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        // A desktop entry is a few lines; a huge file is not ours to load.
        return file.read(MaxEntryBytes);
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
    makePrivateFile(iniFilePath());
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
