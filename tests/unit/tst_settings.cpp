#include "base/Cp950.h"
#include "engine/AutostartEntry.h"
#include "engine/ConsoleState.h"
#include "engine/MemorySettingsStore.h"
#include "engine/NoticeText.h"
#include "engine/OtherSegments.h"
#include "engine/SettingWrites.h"
#include "engine/SettingsNames.h"
#include "engine/SettingsStore.h"
#include "engine/StartupSettings.h"
#include "tests/support/NoticeRecorder.h"

#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using Type = MemorySettingsStore::Type;
using Value = MemorySettingsStore::Value;
using S = settings::Switch;

namespace {

struct HookLog
{
    QStringList calls;
    StartupSettings atAnnouncement;
    StartupHooks hooks()
    {
        return {[this](const StartupSettings &s) {
                    calls << QStringLiteral("announce");
                    atAnnouncement = s;
                },
                [this](const StartupSettings &) { calls << QStringLiteral("assistant"); },
                [this](const StartupSettings &) { calls << QStringLiteral("ticker"); }};
    }
};

StartupEnvironment environmentFor(const QString &programDirectory)
{
    StartupEnvironment environment;
    environment.OwnAddress = "192.168.7.20";
    environment.ProgramDirectory = programDirectory;
    environment.ExecutablePath = programDirectory + QStringLiteral("parlune");
    environment.ComputerName = QStringLiteral("WORKSTATION-NUMBER-SEVEN");
    environment.CurrentImeName = [] { return QByteArray("chewing"); };
    return environment;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QMetaProperty propertyOf(const QByteArray &name)
{
    return ConsoleState::staticMetaObject.property(ConsoleState::staticMetaObject.indexOfProperty(name.constData()));
}

// What the store holds for a switch: the number, or for the auto-start entry whether it exists.
std::optional<qint32> storedSwitch(SettingsStore &store, const QString &key, const QString &name)
{
    if (key == settings::AutoStartKey)
        return settings::readString(store, key, name).has_value() ? 1 : 0;
    return settings::readInteger(store, key, name);
}

int modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;

    QString configDir() const { return m_home->path() + QStringLiteral("/config"); }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("XDG_CONFIG_HOME", configDir().toLocal8Bit());
    }

    void configDirectoryFollowsXdg()
    {
        QCOMPARE(IniSettingsStore::defaultConfigDirectory(), configDir());
        IniSettingsStore store;
        QCOMPARE(store.iniFilePath(), configDir() + QStringLiteral("/Parlune/Parlune.conf"));
        QVERIFY(settings::writeInteger(store, settings::SystemKey, settings::State, 6));
        QVERIFY(QFile::exists(configDir() + QStringLiteral("/Parlune/Parlune.conf")));

        qputenv("XDG_CONFIG_HOME", "relative/ignored");
        QCOMPARE(IniSettingsStore::defaultConfigDirectory(), QDir::homePath() + QStringLiteral("/.config"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(IniSettingsStore::defaultConfigDirectory(), QDir::homePath() + QStringLiteral("/.config"));
    }

    void valuesKeepTypeAndBytes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte += char(i);
        QTest::newRow("big5 text") << int(Type::String) << QByteArray("\xa4\xa4\xa4\xe5 abc") << 0;
        QTest::newRow("big5 trail is backslash") << int(Type::String) << QByteArray("\xb3\x5c\xa5\x5c") << 0;
        QTest::newRow("ini syntax") << int(Type::String) << QByteArray("a=b; c,d \"q\" [s] %41 #") << 0;
        QTest::newRow("one space") << int(Type::String) << QByteArray(" ") << 0;
        QTest::newRow("empty text") << int(Type::String) << QByteArray("") << 0;
        QTest::newRow("control bytes") << int(Type::String) << QByteArray("a\0\x08\n\r\tb", 7) << 0;
        QTest::newRow("every byte as text") << int(Type::String) << everyByte << 0;
        QTest::newRow("every byte as binary") << int(Type::Binary) << everyByte << 0;
        QTest::newRow("empty binary") << int(Type::Binary) << QByteArray() << 0;
        QTest::newRow("zero") << int(Type::Integer) << QByteArray() << 0;
        QTest::newRow("minus one") << int(Type::Integer) << QByteArray() << -1;
        QTest::newRow("largest") << int(Type::Integer) << QByteArray() << 2147483647;
        QTest::newRow("smallest") << int(Type::Integer) << QByteArray() << int(-2147483647 - 1);
    }
    void valuesKeepTypeAndBytes()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        {
            IniSettingsStore store;
            const auto key = store.openKey(settings::ProfileKey);
            QVERIFY(key);
            const bool written = type == int(Type::String)   ? key->writeString(u"V", bytes)
                                 : type == int(Type::Binary) ? key->writeBinary(u"V", bytes)
                                                             : key->writeInteger(u"V", number);
            QVERIFY(written);
        }
        // Nothing is re-encoded: the file holds ASCII only, whatever the bytes were.
        const QByteArray file = readFile(configDir() + QStringLiteral("/Parlune/Parlune.conf"));
        QVERIFY(!file.isEmpty());
        for (const char c : file)
            QVERIFY2(static_cast<unsigned char>(c) < 0x80, file.constData());

        IniSettingsStore store;
        const auto key = store.openKey(settings::ProfileKey);
        QVERIFY(key->exists(u"V"));
        QCOMPARE(key->readString(u"V"), type == int(Type::String) ? std::optional(bytes) : std::nullopt);
        QCOMPARE(key->readBinary(u"V"), type == int(Type::Binary) ? std::optional(bytes) : std::nullopt);
        QCOMPARE(key->readInteger(u"V"), type == int(Type::Integer) ? std::optional(qint32(number)) : std::nullopt);
        QVERIFY(!store.openKey(settings::SystemKey)->exists(u"V"));
    }

    // Values put into the file by other means read as missing for every type, yet exist.
    void foreignValuesReadAsMissing_data()
    {
        QTest::addColumn<QVariant>("raw");
        QTest::newRow("list") << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QTest::newRow("byte array") << QVariant(QByteArray("\x01\x02"));
        QTest::newRow("bad escape") << QVariant(QStringLiteral("sz:%G1"));
        QTest::newRow("cut escape") << QVariant(QStringLiteral("sz:ab%4"));
        QTest::newRow("non-ascii text") << QVariant(QStringLiteral("sz:\u4e2d"));
        QTest::newRow("bad number") << QVariant(QStringLiteral("dword:xyz"));
        QTest::newRow("long number") << QVariant(QStringLiteral("dword:100000000"));
        QTest::newRow("signed number") << QVariant(QStringLiteral("dword:-1"));
        QTest::newRow("odd hex") << QVariant(QStringLiteral("hex:abc"));
    }
    void foreignValuesReadAsMissing()
    {
        QFETCH(QVariant, raw);
        IniSettingsStore store;
        {
            QSettings direct(store.iniFilePath(), QSettings::IniFormat);
            direct.setValue(QStringLiteral("Software/Duvo/Parlune/PIM/V"), raw);
        }
        const auto key = store.openKey(settings::ProfileKey);
        QVERIFY(key->exists(u"V"));
        QCOMPARE(key->readString(u"V"), std::nullopt);
        QCOMPARE(key->readInteger(u"V"), std::nullopt);
        QCOMPARE(key->readBinary(u"V"), std::nullopt);
        QVERIFY(key->writeInteger(u"V", 7));
        QCOMPARE(key->readInteger(u"V"), 7);
    }

    // Values typed into the file by hand, without a type: text, and a number when they are decimal.
    void plainValuesReadAsWhatTheyAre_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<QByteArray>>("text");
        QTest::addColumn<std::optional<qint32>>("number");
        const std::optional<QByteArray> noText;
        const std::optional<qint32> noNumber;
        QTest::newRow("word") << QByteArray("V=secret") << std::optional<QByteArray>("secret") << noNumber;
        QTest::newRow("zero") << QByteArray("V=0") << std::optional<QByteArray>("0") << std::optional<qint32>(0);
        QTest::newRow("past a dword") << QByteArray("V=4294967296") << std::optional<QByteArray>("4294967296")
                                      << noNumber;
        QTest::newRow("not decimal") << QByteArray("V=0x10") << std::optional<QByteArray>("0x10") << noNumber;
        QTest::newRow("quoted comma") << QByteArray("V=\"a,b\"") << std::optional<QByteArray>("a,b") << noNumber;
        QTest::newRow("chinese in utf-8")
            << QByteArray("V=\xe5\xaf\x86\xe7\xa2\xbc") << std::optional<QByteArray>("\xb1\x4b\xbd\x58") << noNumber;
        // Outside code page 950 there is no text to give.
        QTest::newRow("no big5 for it") << QByteArray("V=\xf0\x9f\x98\x80") << noText << noNumber;
        // An unquoted comma makes a list, whose spaces are lost: no one reading.
        QTest::newRow("list") << QByteArray("V=a, b") << noText << noNumber;
    }
    void plainValuesReadAsWhatTheyAre()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<QByteArray>, text);
        QFETCH(std::optional<qint32>, number);
        IniSettingsStore store;
        QVERIFY(writeFile(store.iniFilePath(), "[Software]\nDuvo\\Parlune\\PIM\\" + line + "\n"));
        const auto key = store.openKey(settings::ProfileKey);
        QVERIFY(key->exists(u"V"));
        QCOMPARE(key->readString(u"V"), text);
        QCOMPARE(key->readInteger(u"V"), number);
        QCOMPARE(key->readBinary(u"V"), std::nullopt);
    }

    // What the user wrote by hand is what start-up takes, and stays as it was written; defaults go only
    // where nothing is.
    void handWrittenValuesAreKept()
    {
        IniSettingsStore store;
        const QByteArray written = "[Software]\n"
                                   "Duvo\\Parlune\\PIM\\Password=secret\n"
                                   "Duvo\\Parlune\\PIM\\Nickname=Bob\n"
                                   "Duvo\\Parlune\\SYS\\Telnet=0\n"
                                   "Duvo\\Parlune\\SYS\\State=6\n"
                                   "Duvo\\Parlune\\SYS\\Suggestive=off\n";
        QVERIFY(writeFile(store.iniFilePath(), written));
        const StartupSettings result = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")));
        QCOMPARE(result.OwnPassword, QByteArray("secret"));
        QCOMPARE(result.OwnNickname, QByteArray("Bob"));
        QVERIFY(!result.on(S::RemoteControl));
        QCOMPARE(result.State, Presence::Away);
        QVERIFY(result.on(S::Suggestive)); // unreadable: the default for this run
        const QByteArray file = readFile(store.iniFilePath());
        for (const char *kept : {"Password=secret", "Nickname=Bob", "Telnet=0", "State=6", "Suggestive=off"})
            QVERIFY2(file.contains(kept), file.constData());
        QVERIFY(file.contains("AtuoShow=dword:00000001"));
    }

    // The file holds the remote-control password: nobody else reads it, whoever made it.
    void fileIsTheOwnersOnly()
    {
        IniSettingsStore store;
        QVERIFY(settings::writePassword(store, "pw"));
        QCOMPARE(modeOf(store.iniFilePath()), 0600);
        QCOMPARE(modeOf(configDir() + QStringLiteral("/Parlune")), 0700);
        QCOMPARE(modeOf(configDir()), 0700);
        QVERIFY(settings::writeSwitch(store, settings::Switch::RemoteControl, false));
        QCOMPARE(modeOf(store.iniFilePath()), 0600);

        QVERIFY(QFile::setPermissions(store.iniFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                               QFile::ReadOther | QFile::WriteOther));
        QCOMPARE(settings::readString(store, settings::ProfileKey, settings::Password), QByteArray("pw"));
        QCOMPARE(modeOf(store.iniFilePath()), 0600);
    }

    void firstStartWritesEveryDefault()
    {
        IniSettingsStore store;
        HookLog log;
        const StartupSettings result =
            ReadStartupSettings(store, environmentFor(QStringLiteral("/opt/pl/")), log.hooks());

        const auto profile = store.openKey(settings::ProfileKey);
        QCOMPARE(profile->readString(settings::Number), QByteArray("192.168.7.20"));
        QCOMPARE(profile->readString(settings::Nickname), QByteArray("WORKSTATION-NUM"));
        QCOMPARE(profile->readInteger(settings::HelperSwitch), 1);
        QVERIFY(!profile->exists(settings::Face));
        QCOMPARE(profile->readString(settings::Password), QByteArray(""));
        QCOMPARE(profile->readString(settings::Ime), QByteArray("chewing"));

        const auto system = store.openKey(settings::SystemKey);
        QCOMPARE(system->readInteger(settings::State), 1);
        QCOMPARE(system->readString(settings::HelperPath), QByteArray("/opt/pl/Helper.acs"));
        for (auto name : {settings::AtuoShow, settings::Telnet, settings::GameAgree, settings::Suggestive,
                          settings::Innervation, settings::BAutoHide, settings::ShowBroadcasting})
            QCOMPARE(system->readInteger(name), 1);

        QVERIFY(!store.openKey(settings::AutoStartKey)->exists(settings::AutoStartValue));
        QVERIFY(!QFile::exists(configDir() + QStringLiteral("/autostart/parlune.desktop")));

        QCOMPARE(result.OwnNickname, QByteArray("WORKSTATION-NUM"));
        QCOMPARE(result.ImeName, QByteArray("chewing"));
        QVERIFY(result.OwnFace.isEmpty());
        QCOMPARE(result.State, Presence::Online);
        // The character file does not exist: the item is off, the stored switch stays on.
        QVERIFY(!result.on(S::Helper));
        QVERIFY(result.on(S::AutoShow) && result.on(S::RemoteControl) && result.on(S::GameAgree) &&
                result.on(S::Suggestive) && result.on(S::Innervation) && result.on(S::BroadcastAutoHide) &&
                result.on(S::ShowBroadcasting) && result.BAutoHideVisible);
        QCOMPARE(log.calls, QStringList({QStringLiteral("announce"), QStringLiteral("ticker")}));
        QCOMPARE(log.atAnnouncement.OwnNickname, QByteArray("WORKSTATION-NUM"));
    }

    // Letters outside the code page take the substitutes Windows writes for them.
    void defaultNicknameTakesBestFits()
    {
        MemorySettingsStore store;
        StartupEnvironment environment = environmentFor(QStringLiteral("/opt/pl/"));
        environment.ComputerName = QStringLiteral("Zoë-Café-Ω-™-PC-2");
        const StartupSettings result = ReadStartupSettings(store, environment);
        QCOMPARE(result.OwnNickname, QByteArray("Zoe-Cafe-\xa3\x5b-?-PC"));
        QCOMPARE(settings::readString(store, settings::ProfileKey, settings::Nickname), result.OwnNickname);
    }

    void laterStartKeepsValuesAndUpdatesNumber()
    {
        MemorySettingsStore store;
        StartupEnvironment environment = environmentFor(QStringLiteral("/opt/pl/"));
        ReadStartupSettings(store, environment);
        QVERIFY(settings::writeNickname(store, "\xa4\x70\xa9\xfa"));
        QVERIFY(settings::writePassword(store, "pw"));
        QVERIFY(settings::writeSwitch(store, settings::Switch::RemoteControl, false));

        environment.OwnAddress = "10.0.0.9";
        int imeQueries = 0;
        environment.CurrentImeName = [&imeQueries] { return QByteArray(++imeQueries, 'x'); };
        const StartupSettings result = ReadStartupSettings(store, environment);
        QCOMPARE(settings::readString(store, settings::ProfileKey, settings::Number), QByteArray("10.0.0.9"));
        QCOMPARE(result.OwnNickname, QByteArray("\xa4\x70\xa9\xfa"));
        QCOMPARE(result.OwnPassword, QByteArray("pw"));
        QCOMPARE(result.ImeName, QByteArray("chewing"));
        QCOMPARE(imeQueries, 0);
        QVERIFY(!result.on(S::RemoteControl));
    }

    void storedState_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<Presence::Status>("expected");
        QTest::newRow("offline") << 0 << Presence::Offline;
        QTest::newRow("online") << 1 << Presence::Online;
        QTest::newRow("hidden") << 2 << Presence::Hidden;
        QTest::newRow("away") << 6 << Presence::Away;
        QTest::newRow("3 is not a status") << 3 << Presence::Online;
        QTest::newRow("negative") << -6 << Presence::Online;
    }
    void storedState()
    {
        QFETCH(int, stored);
        QFETCH(Presence::Status, expected);
        MemorySettingsStore store;
        store.plant(settings::SystemKey, settings::State, {Type::Integer, {}, stored});
        HookLog log;
        const StartupSettings result = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")), log.hooks());
        QCOMPARE(result.State, expected);
        QCOMPARE(log.atAnnouncement.State, expected);
        QCOMPARE(settings::readInteger(store, settings::SystemKey, settings::State), stored);
    }

    // A value of another type cannot be read: the default holds for this run, and the value stays.
    void wrongTypeKeepsValue()
    {
        MemorySettingsStore store;
        store.plant(settings::SystemKey, settings::State, {Type::String, "6", 0});
        store.plant(settings::SystemKey, settings::Telnet, {Type::Binary, "\0", 0});
        store.plant(settings::ProfileKey, settings::Nickname, {Type::Integer, {}, 5});
        store.plant(settings::ProfileKey, settings::Face, {Type::String, "BM", 0});
        store.plant(settings::ProfileKey, settings::Password, {Type::Integer, {}, 1234});
        const StartupSettings result = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")));
        QCOMPARE(result.State, Presence::Online);
        QVERIFY(result.on(S::RemoteControl));
        QCOMPARE(result.OwnNickname, QByteArray("WORKSTATION-NUM"));
        QVERIFY(result.OwnFace.isEmpty());
        QVERIFY(result.OwnPassword.isEmpty());
        QCOMPARE(settings::readString(store, settings::SystemKey, settings::State), QByteArray("6"));
        QVERIFY(settings::readBinary(store, settings::SystemKey, settings::Telnet).has_value());
        QCOMPARE(settings::readInteger(store, settings::ProfileKey, settings::Nickname), 5);
        QCOMPARE(settings::readInteger(store, settings::ProfileKey, settings::Password), 1234);
    }

    void switchesAndTicker_data()
    {
        QTest::addColumn<int>("showBroadcasting");
        QTest::addColumn<int>("others");
        QTest::newRow("all off") << 0 << 0;
        QTest::newRow("nonzero is on") << 5 << -1;
        QTest::newRow("ticker off, rest on") << 0 << 1;
    }
    void switchesAndTicker()
    {
        QFETCH(int, showBroadcasting);
        QFETCH(int, others);
        MemorySettingsStore store;
        for (auto name : {settings::AtuoShow, settings::Telnet, settings::GameAgree, settings::Suggestive,
                          settings::Innervation, settings::BAutoHide})
            store.plant(settings::SystemKey, name, {Type::Integer, {}, others});
        store.plant(settings::SystemKey, settings::ShowBroadcasting, {Type::Integer, {}, showBroadcasting});
        HookLog log;
        const StartupSettings r = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")), log.hooks());
        const bool on = others != 0;
        QCOMPARE(r.on(S::AutoShow), on);
        QCOMPARE(r.on(S::RemoteControl), on);
        QCOMPARE(r.on(S::GameAgree), on);
        QCOMPARE(r.on(S::Suggestive), on);
        QCOMPARE(r.on(S::Innervation), on);
        QCOMPARE(r.on(S::BroadcastAutoHide), on);
        QCOMPARE(r.on(S::ShowBroadcasting), showBroadcasting != 0);
        QCOMPARE(r.BAutoHideVisible, showBroadcasting != 0);
        QCOMPARE(log.calls.contains(QStringLiteral("ticker")), showBroadcasting != 0);
    }

    void assistant_data()
    {
        QTest::addColumn<int>("profileSwitch");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("wanted, file there") << 1 << true << true;
        QTest::newRow("wanted, file missing") << 1 << false << false;
        QTest::newRow("not wanted") << 0 << true << false;
    }
    void assistant()
    {
        QFETCH(int, profileSwitch);
        QFETCH(bool, fileExists);
        QFETCH(bool, loaded);
        // A folder with a Big5 name: the stored path is code page 950 and must find the file.
        const QString folder = m_home->path() + QStringLiteral("/\u52a9\u624b/");
        QVERIFY(QDir().mkpath(folder));
        if (fileExists) {
            QFile file(folder + QStringLiteral("Helper.acs"));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        MemorySettingsStore store;
        store.plant(settings::ProfileKey, settings::HelperSwitch, {Type::Integer, {}, profileSwitch});
        HookLog log;
        const StartupSettings r = ReadStartupSettings(store, environmentFor(folder), log.hooks());
        QCOMPARE(r.on(S::Helper), loaded);
        QCOMPARE(log.calls.contains(QStringLiteral("assistant")), loaded);
        QCOMPARE(r.HelperPath, cp950::encode(folder + QStringLiteral("Helper.acs")));
        QCOMPARE(settings::readInteger(store, settings::ProfileKey, settings::HelperSwitch), profileSwitch);
        if (loaded) // announced first, the ticker comes last
            QCOMPARE(log.calls,
                     QStringList({QStringLiteral("announce"), QStringLiteral("assistant"), QStringLiteral("ticker")}));
    }

    void faceIsCutAt30000()
    {
        MemorySettingsStore store;
        QByteArray face(30001, 'f');
        face[29999] = 'L';
        store.plant(settings::ProfileKey, settings::Face, {Type::Binary, face, 0});
        QCOMPARE(ReadStartupSettings(store, environmentFor(QStringLiteral("/p/"))).OwnFace, face.left(30000));

        QVERIFY(settings::writeFace(store, face.left(30000)));
        QVERIFY(!settings::writeFace(store, face));
        QCOMPARE(settings::readBinary(store, settings::ProfileKey, settings::Face), face.left(30000));
    }

    void unopenableKeySkipsItsBlock_data()
    {
        QTest::addColumn<bool>("autoStartBlocked");
        QTest::addColumn<bool>("profileBlocked");
        QTest::addColumn<bool>("systemBlocked");
        QTest::newRow("auto-start") << true << false << false;
        QTest::newRow("profile") << false << true << false;
        QTest::newRow("system") << false << false << true;
        QTest::newRow("all") << true << true << true;
    }
    void unopenableKeySkipsItsBlock()
    {
        QFETCH(bool, autoStartBlocked);
        QFETCH(bool, profileBlocked);
        QFETCH(bool, systemBlocked);
        MemorySettingsStore store;
        for (auto key : {settings::SystemKey, settings::ProfileKey, settings::AutoStartKey})
            for (auto name : {settings::State, settings::AtuoShow, settings::Telnet, settings::GameAgree,
                              settings::Suggestive, settings::Innervation, settings::BAutoHide,
                              settings::ShowBroadcasting, settings::HelperSwitch, settings::AutoStartValue})
                store.plant(key, name, {Type::Integer, {}, 0});
        store.plant(settings::ProfileKey, settings::Nickname, {Type::String, "nick", 0});
        store.plant(settings::AutoStartKey, settings::AutoStartValue, {Type::String, "/old", 0});
        store.setUnopenable(settings::AutoStartKey, autoStartBlocked);
        store.setUnopenable(settings::ProfileKey, profileBlocked);
        store.setUnopenable(settings::SystemKey, systemBlocked);

        HookLog log;
        const StartupSettings r = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")), log.hooks());
        const StartupSettings initial;
        QCOMPARE(r.on(S::AutoRun), !autoStartBlocked);
        QCOMPARE(r.OwnNickname, profileBlocked ? QByteArray() : QByteArray("nick"));
        QVERIFY(r.ImeName.isEmpty() == profileBlocked);
        QCOMPARE(r.State, systemBlocked ? initial.State : Presence::Offline);
        QCOMPARE(r.on(S::ShowBroadcasting), systemBlocked ? initial.on(S::ShowBroadcasting) : false);
        QCOMPARE(r.on(S::AutoShow), systemBlocked ? initial.on(S::AutoShow) : false);
        QCOMPARE(r.on(S::Suggestive), initial.on(S::Suggestive));
        QCOMPARE(log.calls.contains(QStringLiteral("announce")), !systemBlocked);
        QVERIFY(!log.calls.contains(QStringLiteral("ticker")));
        QVERIFY(!r.on(S::Helper));
        const MemorySettingsStore::Values *profile = store.values(settings::ProfileKey);
        QCOMPARE(profile->contains(settings::Number), !profileBlocked);
    }

    // The real store: a configuration file that cannot be written, even by root, does not open.
    void iniStoreThatCannotOpen()
    {
        QVERIFY(QDir().mkpath(configDir() + QStringLiteral("/Parlune/Parlune.conf")));
        QFile blocker(configDir() + QStringLiteral("/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        IniSettingsStore store;
        QVERIFY(!store.openKey(settings::ProfileKey));
        QVERIFY(!store.openKey(settings::SystemKey));
        QVERIFY(!store.openKey(settings::AutoStartKey));
        QVERIFY(!settings::writeSwitch(store, settings::Switch::ShowBroadcasting, false));
        HookLog log;
        const StartupSettings r = ReadStartupSettings(store, environmentFor(QStringLiteral("/p/")), log.hooks());
        QVERIFY(r.OwnNickname.isEmpty());
        QVERIFY(r.on(S::ShowBroadcasting) && !r.on(S::AutoRun));
        QVERIFY(log.calls.isEmpty());
    }

    void autoStartRewrittenOnlyWhenPresent()
    {
        IniSettingsStore store;
        const QString entry = configDir() + QStringLiteral("/autostart/parlune.desktop");
        StartupEnvironment environment = environmentFor(QStringLiteral("/new place/bin/"));
        QVERIFY(!ReadStartupSettings(store, environment).on(S::AutoRun));
        QVERIFY(!QFile::exists(entry));

        QVERIFY(settings::writeAutoStart(store, true, QStringLiteral("/old/parlune")));
        QVERIFY(ReadStartupSettings(store, environment).on(S::AutoRun));
        QCOMPARE(autostart::executableOf(readFile(entry)), QStringLiteral("/new place/bin/parlune"));
        QCOMPARE(settings::readString(store, settings::AutoStartKey, settings::AutoStartValue),
                 QByteArray("/new place/bin/parlune"));

        QVERIFY(settings::writeAutoStart(store, false, {}));
        QVERIFY(!QFile::exists(entry));
        QVERIFY(settings::writeAutoStart(store, false, {}));
        // The auto-start key knows one value and only as text.
        const auto key = store.openKey(settings::AutoStartKey);
        QVERIFY(!key->writeString(u"Other", "/x"));
        QVERIFY(!key->writeInteger(settings::AutoStartValue, 1));
    }

    void switchedOffEntryCountsAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("hidden") << QByteArray("Hidden=true");
        QTest::newRow("gnome switch") << QByteArray("X-GNOME-Autostart-enabled=false");
    }
    void switchedOffEntryCountsAsAbsent()
    {
        QFETCH(QByteArray, line);
        IniSettingsStore store;
        const QString entryPath = configDir() + QStringLiteral("/autostart/parlune.desktop");
        QVERIFY(QDir().mkpath(configDir() + QStringLiteral("/autostart")));
        const QByteArray entry = "[Desktop Entry]\nType=Application\nExec=/old/parlune\n" + line + '\n';
        {
            QFile file(entryPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(entry);
        }
        QVERIFY(!ReadStartupSettings(store, environmentFor(QStringLiteral("/new/"))).on(S::AutoRun));
        QCOMPARE(readFile(entryPath), entry);

        QVERIFY(settings::writeAutoStart(store, true, QStringLiteral("/new/parlune")));
        QVERIFY(!autostart::isSwitchedOff(readFile(entryPath)));
        QVERIFY(settings::writeAutoStart(store, false, {}));
        QVERIFY(!QFile::exists(entryPath));
    }

    void autostartEntryRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/parlune");
        QTest::newRow("spaces") << QStringLiteral("/home/a b/my apps/parlune");
        QTest::newRow("shell characters") << QStringLiteral("/o\"d/$HOME/`x`/a\\b/parlune");
        QTest::newRow("field code") << QStringLiteral("/opt/100%u/%%/parlune");
        QTest::newRow("chinese") << QStringLiteral("/home/\u4f7f\u7528\u8005/parlune");
        QTest::newRow("escape letters") << QStringLiteral("/a\\s\\n/parlune");
    }
    void autostartEntryRoundTrip()
    {
        QFETCH(QString, path);
        const std::optional<QByteArray> entry = autostart::entryFor(path);
        QVERIFY(entry);
        QVERIFY(entry->startsWith("[Desktop Entry]\n"));
        QVERIFY(entry->contains("\nType=Application\n"));
        QCOMPARE(autostart::executableOf(*entry), path);
    }

    void autostartEntryRefusesWhatItCannotCarry()
    {
        QCOMPARE(autostart::entryFor(QStringLiteral("parlune")), std::nullopt);
        QCOMPARE(autostart::entryFor(QString()), std::nullopt);
        QCOMPARE(autostart::entryFor(QStringLiteral("/a\nExec=/bin/evil")), std::nullopt);
        QCOMPARE(autostart::executableOf("[Other]\nExec=/x\n"), std::nullopt);
        QCOMPARE(autostart::executableOf("[Desktop Entry]\nExec=\"/unterminated\n"), std::nullopt);
        QCOMPARE(autostart::executableOf("[Desktop Entry]\nExecutable=/no\nExec = /usr/bin/p --flag\n"),
                 QStringLiteral("/usr/bin/p"));
    }

    // Each switch of the console state: its value before start-up, after start-up without a stored value and
    // with one, and what a user's change writes and tells.
    void consoleStateSwitches_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("initial");
        QTest::addColumn<bool>("whenMissing");
        QTest::addColumn<bool>("noticeWhenRefused");
        const QString system(settings::SystemKey);
        QTest::newRow("auto-run") << QByteArray("autoRun") << QString(settings::AutoStartKey)
                                  << QStringLiteral("Parlune") << false << false << false;
        // The character file does not exist: the switch stays off however it is stored.
        QTest::newRow("assistant") << QByteArray("helper") << QString(settings::ProfileKey) << QStringLiteral("Helper")
                                   << false << false << false;
        QTest::newRow("pop-up") << QByteArray("autoShow") << system << QStringLiteral("AtuoShow") << true << true
                                << false;
        QTest::newRow("remote") << QByteArray("remoteControl") << system << QStringLiteral("Telnet") << true << true
                                << false;
        QTest::newRow("game") << QByteArray("gameAgree") << system << QStringLiteral("GameAgree") << true << true
                              << false;
        QTest::newRow("beep") << QByteArray("suggestive") << system << QStringLiteral("Suggestive") << false << true
                              << false;
        QTest::newRow("flash") << QByteArray("innervation") << system << QStringLiteral("Innervation") << false << true
                               << false;
        QTest::newRow("auto-hide") << QByteArray("broadcastAutoHide") << system << QStringLiteral("BAutoHide") << false
                                   << true << false;
        QTest::newRow("ticker") << QByteArray("showBroadcasting") << system << QStringLiteral("ShowBroadcasting")
                                << true << true << true;
    }
    void consoleStateSwitches()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(bool, initial);
        QFETCH(bool, whenMissing);
        QFETCH(bool, noticeWhenRefused);
        const QMetaProperty meta = propertyOf(property);
        QVERIFY2(meta.isValid() && meta.hasNotifySignal(), property.constData());
        const settings::SwitchRow *row = nullptr;
        for (const settings::SwitchRow &r : settings::Switches)
            if (property == r.property)
                row = &r;
        QVERIFY(row);
        QCOMPARE(QString(row->valueName), name);

        MemorySettingsStore store;
        NoticeRecorder notices;
        ConsoleState state(store, notices);
        QCOMPARE(meta.read(&state).toBool(), initial);
        state.load(environmentFor(QStringLiteral("/p/")));
        QCOMPARE(meta.read(&state).toBool(), whenMissing);
        if (key != settings::AutoStartKey)
            QCOMPARE(storedSwitch(store, key, name), 1);

        // A stored value wins over the default.
        MemorySettingsStore stored;
        if (key == settings::AutoStartKey)
            stored.plant(key, name, {Type::String, "/old/parlune", 0});
        else
            stored.plant(key, name, {Type::Integer, {}, 0});
        ConsoleState loaded(stored, notices);
        loaded.load(environmentFor(QStringLiteral("/p/")));
        QCOMPARE(meta.read(&loaded).toBool(), key == settings::AutoStartKey);

        QSignalSpy changed(&state, meta.notifySignal());
        const bool flipped = !whenMissing;
        QVERIFY(meta.write(&state, flipped));
        QCOMPARE(meta.read(&state).toBool(), flipped);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toBool(), flipped);
        QCOMPARE(storedSwitch(store, key, name), flipped ? 1 : 0);
        QVERIFY(state.setOn(row->which, flipped)); // no change: written again, not signalled
        QCOMPARE(changed.count(), 1);

        // A refused write keeps the value for the run; only "顯示廣播" tells the user.
        store.setReadOnly(true);
        QVERIFY(!state.setOn(row->which, whenMissing));
        QCOMPARE(meta.read(&state).toBool(), whenMissing);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(notices.count(), noticeWhenRefused ? 1 : 0);
        if (noticeWhenRefused) {
            QCOMPARE(notices.shown[0].text, NoticeText::build(u"無法寫入注冊表信息!"));
            QCOMPARE(notices.shown[0].caption, QByteArray("REGEDIT ERROR"));
        }
    }

    // Start-up's steps come at their moments, each seeing what was read before it.
    void consoleStateStartupSteps()
    {
        MemorySettingsStore store;
        store.plant(settings::SystemKey, settings::State, {Type::Integer, {}, 6});
        store.plant(settings::SystemKey, settings::BAutoHide, {Type::Integer, {}, 1});
        NoticeRecorder notices;
        ConsoleState state(store, notices);
        QStringList steps;
        QSignalSpy statusChanged(&state, &ConsoleState::statusChanged);
        connect(&state, &ConsoleState::presenceDue, this, [&] {
            steps << QStringLiteral("announce");
            QCOMPARE(state.status(), Presence::Away);
            QCOMPARE(state.values().OwnNickname, QByteArray("WORKSTATION-NUM"));
        });
        connect(&state, &ConsoleState::tickerDue, this, [&] {
            steps << QStringLiteral("ticker");
            QVERIFY(state.broadcastAutoHide());
        });
        state.load(environmentFor(QStringLiteral("/p/")));
        QCOMPARE(steps, QStringList({QStringLiteral("announce"), QStringLiteral("ticker")}));
        QCOMPARE(statusChanged.count(), 1);

        // The user's choice is stored; the same status again signals nothing.
        QVERIFY(state.setStatus(Presence::Hidden));
        QVERIFY(state.setStatus(Presence::Hidden));
        QCOMPARE(statusChanged.count(), 2);
        QCOMPARE(settings::readInteger(store, settings::SystemKey, settings::State), 2);
        QCOMPARE(notices.count(), 0);
    }

    void singleWritesReport_data()
    {
        QTest::addColumn<settings::Switch>("which");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("assistant") << settings::Switch::Helper << QString(settings::ProfileKey)
                                   << QStringLiteral("Helper");
        QTest::newRow("pop-up") << settings::Switch::AutoShow << QString(settings::SystemKey)
                                << QStringLiteral("AtuoShow");
        QTest::newRow("remote") << settings::Switch::RemoteControl << QString(settings::SystemKey)
                                << QStringLiteral("Telnet");
        QTest::newRow("game") << settings::Switch::GameAgree << QString(settings::SystemKey)
                              << QStringLiteral("GameAgree");
        QTest::newRow("beep") << settings::Switch::Suggestive << QString(settings::SystemKey)
                              << QStringLiteral("Suggestive");
        QTest::newRow("flash") << settings::Switch::Innervation << QString(settings::SystemKey)
                               << QStringLiteral("Innervation");
        QTest::newRow("auto-hide") << settings::Switch::BroadcastAutoHide << QString(settings::SystemKey)
                                   << QStringLiteral("BAutoHide");
        QTest::newRow("ticker") << settings::Switch::ShowBroadcasting << QString(settings::SystemKey)
                                << QStringLiteral("ShowBroadcasting");
    }
    void singleWritesReport()
    {
        QFETCH(settings::Switch, which);
        QFETCH(QString, key);
        QFETCH(QString, name);
        MemorySettingsStore store;
        QVERIFY(settings::writeSwitch(store, which, false));
        QCOMPARE(settings::readInteger(store, key, name), 0);
        QVERIFY(settings::writeSwitch(store, which, true));
        QCOMPARE(settings::readInteger(store, key, name), 1);

        store.setReadOnly(true);
        QVERIFY(!settings::writeSwitch(store, which, false));
        store.setReadOnly(false);
        store.setUnopenable(key);
        QVERIFY(!settings::writeSwitch(store, which, false));
        store.setUnopenable(key, false);
        QCOMPARE(settings::readInteger(store, key, name), 1);

        QVERIFY(settings::writeState(store, Presence::Away));
        QCOMPARE(settings::readInteger(store, settings::SystemKey, settings::State), 6);
    }

    // A typed destination against the list it joins, on a host at 192.168.5.20/24.
    void otherSegmentRefusals_data()
    {
        using R = segments::Refusal;
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("refusal");
        const auto row = [](const char *name, const char *typed, int listed, R refusal) {
            QTest::newRow(name) << QByteArray(typed) << listed << int(refusal);
        };
        row("directed broadcast", "10.1.2.255", 0, R::None);
        row("single host, spaces around", " 10.1.2.7 ", 0, R::None);
        row("three parts", "10.1.2", 0, R::NotAnAddress);
        row("octal part", "010.1.2.255", 0, R::NotAnAddress);
        row("name", "router", 0, R::NotAnAddress);
        row("any address", "0.0.0.0", 0, R::Unusable);
        row("limited broadcast", "255.255.255.255", 0, R::Unusable);
        row("loopback", "127.0.0.1", 0, R::Unusable);
        row("multicast", "224.0.0.1", 0, R::Unusable);
        row("own address", "192.168.5.20", 0, R::ThisSegment);
        row("host on this segment", "192.168.5.77", 0, R::ThisSegment);
        row("other interface's broadcast", "172.16.0.255", 0, R::ThisSegment);
        row("next segment", "192.168.6.255", 0, R::None);
        row("duplicate", "10.1.0.3", 31, R::Duplicate);
        row("32nd", "10.9.9.9", 31, R::None);
        row("33rd", "10.9.9.9", 32, R::TooMany);
    }
    void otherSegmentRefusals()
    {
        QFETCH(QByteArray, typed);
        QFETCH(int, listed);
        QFETCH(int, refusal);
        segments::HostSegments host;
        host.ownAddresses = {0xC0A80514, 0xC0A805FF, 0xAC100001, 0xAC1000FF};
        host.subnet = 0xC0A80500;
        host.netmask = 0xFFFFFF00;
        std::vector<quint32> list;
        for (int i = 0; i < listed; ++i)
            list.push_back(0x0A010000 + quint32(i));
        quint32 address = 0;
        QCOMPARE(int(segments::check(typed, list, host, &address)), refusal);
        if (refusal == int(segments::Refusal::None))
            QCOMPARE(segments::dotted(address), typed.trimmed());
    }

    // The stored list keeps what is usable, once, at most 32; what the user sets is stored.
    void otherSegmentsStored()
    {
        QCOMPARE(segments::parse("10.1.2.255, 10.1.3.7,,junk,127.0.0.1,10.1.2.255,"),
                 (std::vector<quint32>{0x0A0102FF, 0x0A010307}));
        QByteArray many;
        for (int i = 1; i <= 40; ++i)
            many += "10.2.0." + QByteArray::number(i) + ',';
        QCOMPARE(segments::parse(many).size(), size_t(segments::MaxDestinations));

        MemorySettingsStore store;
        OtherSegments first(store);
        QVERIFY(first.setDestinations({0x0A0102FF, 0xC0A80007}));
        QCOMPARE(settings::readString(store, settings::SystemKey, settings::ExtraDestinations),
                 std::optional<QByteArray>("10.1.2.255,192.168.0.7"));

        // A store that refuses the write: the list still holds for the run, and the caller hears of it.
        store.setReadOnly(true);
        QVERIFY(!first.setDestinations({}));
        QVERIFY(first.destinations().empty());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
