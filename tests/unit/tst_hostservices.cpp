#include "platform/DisplayPlatform.h"
#include "platform/FirewallRules.h"
#include "platform/HostAddress.h"
#include "platform/InputMethod.h"
#include "platform/PowerOff.h"
#include "platform/SocketTable.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QHostAddress>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <atomic>
#include <unistd.h>

using host::InterfaceAddress;

namespace {

const QByteArray RouteHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray route(const char *interfaceName, const char *destination, const char *flags, int metric, const char *mask)
{
    return QByteArray(interfaceName) + '\t' + destination + "\t010200C0\t" + flags + "\t0\t0\t" +
           QByteArray::number(metric) + '\t' + mask + "\t0\t0\t0\n";
}

quint32 ip(const char *dotted)
{
    return QHostAddress(QString::fromLatin1(dotted)).toIPv4Address();
}

const QList<InterfaceAddress> Interfaces = {
    {"lo", ip("127.0.0.1"), true, true},      {"eth0", ip("10.0.0.5"), true, false},
    {"eth1", ip("192.168.1.9"), true, false}, {"wlan0", ip("172.16.0.3"), false, false},
    {"tun0", ip("127.0.1.1"), true, false},
};

class FakeFramework final : public InputMethodFramework
{
public:
    FakeFramework(QByteArray active, QByteArrayList methods, QByteArrayList *activated, int *listReads)
        : m_active(std::move(active)), m_methods(std::move(methods)), m_activated(activated), m_listReads(listReads)
    {
    }
    QByteArray activeEngine() override { return m_active; }
    QByteArrayList inputMethods() override
    {
        ++*m_listReads;
        return m_methods;
    }
    void activateEngine(const QByteArray &engine) override
    {
        m_activated->append(engine);
        m_active = engine;
    }

private:
    QByteArray m_active;
    QByteArrayList m_methods;
    QByteArrayList *m_activated;
    int *m_listReads;
};

} // namespace

// Stands in for systemd-logind on a private bus; it lives in a thread of its own, since the request
// blocks the thread that makes it.
class FakeLogind final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    enum class Answer { Accept, Refuse, Silence };
    std::atomic<Answer> answer = Answer::Accept;
    std::atomic<int> calls = 0;
    std::atomic<bool> interactive = true;

public Q_SLOTS:
    void PowerOff(bool askUser)
    {
        ++calls;
        interactive = askUser;
        if (answer == Answer::Refuse)
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), QStringLiteral("inhibited"));
        else if (answer == Answer::Silence)
            setDelayedReply(true); // and never answered
    }
};

class TestHostServices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Whatever the caller's environment, nothing here may power the machine off.
        qputenv("PARLUNE_DRY_POWER_OFF", "1");
    }

    void chooseLocalAddress_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("default route names the interface")
            << RouteHeader + route("eth0", "000200C0", "0001", 0, "00FFFFFF") +
                   route("eth1", "00000000", "0003", 0, "00000000")
            << QByteArray("192.168.1.9");
        QTest::newRow("lowest metric wins") << RouteHeader + route("eth0", "00000000", "0003", 600, "00000000") +
                                                   route("eth1", "00000000", "0003", 100, "00000000")
                                            << QByteArray("192.168.1.9");
        QTest::newRow("equal metrics keep table order")
            << RouteHeader + route("eth0", "00000000", "0003", 5, "00000000") +
                   route("eth1", "00000000", "0003", 5, "00000000")
            << QByteArray("10.0.0.5");
        QTest::newRow("route without gateway (lab)")
            << RouteHeader + route("eth1", "00000000", "0001", 0, "00000000") << QByteArray("192.168.1.9");
        QTest::newRow("route not up is ignored")
            << RouteHeader + route("eth1", "00000000", "0002", 0, "00000000") << QByteArray("10.0.0.5");
        QTest::newRow("interface down falls back")
            << RouteHeader + route("wlan0", "00000000", "0003", 0, "00000000") << QByteArray("10.0.0.5");
        QTest::newRow("default over loopback falls back")
            << RouteHeader + route("lo", "00000000", "0003", 0, "00000000") << QByteArray("10.0.0.5");
        QTest::newRow("127.x on another interface never")
            << RouteHeader + route("tun0", "00000000", "0003", 0, "00000000") << QByteArray("10.0.0.5");
        QTest::newRow("unknown interface falls back")
            << RouteHeader + route("ppp9", "00000000", "0003", 0, "00000000") << QByteArray("10.0.0.5");
        QTest::newRow("no table") << QByteArray() << QByteArray("10.0.0.5");
        QTest::newRow("garbage") << QByteArray("eth1 zz 0 0003 0 0 x 00000000\n\xff\n") << QByteArray("10.0.0.5");
    }
    void chooseLocalAddress()
    {
        QFETCH(QByteArray, table);
        QFETCH(QByteArray, expected);
        QCOMPARE(host::ChooseLocalAddress(table, Interfaces), expected);
    }

    void noUsableInterfaceGivesEmpty()
    {
        const QList<InterfaceAddress> onlyLoopback = {{"lo", ip("127.0.0.1"), true, true},
                                                      {"eth0", ip("10.0.0.5"), false, false}};
        QCOMPARE(host::ChooseLocalAddress(RouteHeader + route("lo", "00000000", "0003", 0, "00000000"), onlyLoopback),
                 QByteArray());
    }

    void computerName_data()
    {
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("computerName");
        QTest::newRow("short") << QStringLiteral("workstation7") << QStringLiteral("workstation7");
        QTest::newRow("fully qualified") << QStringLiteral("pc1.corp.example.com") << QStringLiteral("pc1");
        QTest::newRow("empty") << QString() << QString();
    }
    void computerName()
    {
        QFETCH(QString, hostName);
        QFETCH(QString, computerName);
        QCOMPARE(host::ComputerNameOf(hostName), computerName);
        QVERIFY(!host::HostComputerName().contains(u'.'));
    }

    // The host's real interfaces, with a route table written here.
    void localAddressFromRouteFile()
    {
        const QList<InterfaceAddress> real = host::HostInterfaceAddresses();
        QTemporaryDir dir;
        const QString tablePath = dir.filePath(QStringLiteral("route"));
        auto writeTable = [&tablePath](const QByteArray &content) {
            QFile file(tablePath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(content);
        };

        writeTable(RouteHeader + route("lo", "00000000", "0003", 0, "00000000"));
        QVERIFY(!host::LocalAddress(tablePath).startsWith("127."));
        QVERIFY(!host::LocalAddress(QStringLiteral("/nonexistent/route")).startsWith("127."));
        QVERIFY(!host::LocalAddress().startsWith("127."));

        const auto candidate = std::find_if(real.begin(), real.end(), [](const InterfaceAddress &entry) {
            return entry.up && !entry.loopback && (entry.ipv4 >> 24) != 127;
        });
        if (candidate == real.end())
            QSKIP("no interface besides the loopback one is up");
        writeTable(RouteHeader + route("lo", "00000000", "0003", 0, "00000000") +
                   route(candidate->interfaceName.constData(), "00000000", "0003", 10, "00000000"));
        // The first address listed for an interface is its primary one.
        QCOMPARE(host::LocalAddress(tablePath), QHostAddress(candidate->ipv4).toString().toLatin1());
    }

    void eastAsianLocale_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcCtype");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<bool>("expected");
        QTest::newRow("taiwan") << QByteArray() << QByteArray() << QByteArray("zh_TW.UTF-8") << true;
        QTest::newRow("big5") << QByteArray() << QByteArray() << QByteArray("zh_TW.BIG5") << true;
        QTest::newRow("japanese ctype") << QByteArray() << QByteArray("ja_JP.UTF-8") << QByteArray("en_US") << true;
        QTest::newRow("korean bare") << QByteArray("ko") << QByteArray() << QByteArray() << true;
        QTest::newRow("all overrides") << QByteArray("C") << QByteArray("zh_TW") << QByteArray("zh_TW") << false;
        QTest::newRow("english") << QByteArray() << QByteArray() << QByteArray("en_US.UTF-8") << false;
        QTest::newRow("zu is not zh") << QByteArray() << QByteArray() << QByteArray("zu_ZA") << false;
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << false;
    }
    void eastAsianLocale()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcCtype);
        QFETCH(QByteArray, lang);
        QFETCH(bool, expected);
        QCOMPARE(IsEastAsianLocale(lcAll, lcCtype, lang), expected);
    }

    void preferredPlatform_data()
    {
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("x11Display");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("x11 session") << QByteArray() << QByteArray() << QByteArray("x11") << QByteArray(":0")
                                     << QByteArray();
        QTest::newRow("wayland with x") << QByteArray() << QByteArray("wayland-0") << QByteArray("wayland")
                                        << QByteArray(":0") << QByteArray("xcb");
        QTest::newRow("session type only")
            << QByteArray() << QByteArray() << QByteArray("wayland") << QByteArray(":1") << QByteArray("xcb");
        QTest::newRow("user's choice") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray("wayland")
                                       << QByteArray(":0") << QByteArray();
        QTest::newRow("no x server") << QByteArray() << QByteArray("wayland-0") << QByteArray("wayland") << QByteArray()
                                     << QByteArray();
    }
    void preferredPlatform()
    {
        QFETCH(QByteArray, chosen);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, x11Display);
        QFETCH(QByteArray, expected);
        QCOMPARE(host::PreferredPlatform(chosen, waylandDisplay, sessionType, x11Display), expected);
    }

    void activateIme_data()
    {
        QTest::addColumn<bool>("eastAsian");
        QTest::addColumn<QByteArray>("firstEngine");
        QTest::addColumn<QByteArrayList>("methods");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArrayList>("activated");
        const QByteArrayList methods = {"chewing", "rime", "\xa4\x41\xa4\x42"};
        QTest::newRow("known name, any case")
            << true << QByteArray("xkb:us::eng") << methods << QByteArray("RIME") << QByteArrayList{"rime"};
        QTest::newRow("unknown name goes back to the first engine")
            << true << QByteArray("xkb:us::eng") << methods << QByteArray("pinyin") << QByteArrayList{"xkb:us::eng"};
        QTest::newRow("empty name while an input method was first")
            << true << QByteArray("chewing") << methods << QByteArray() << QByteArrayList{"chewing"};
        QTest::newRow("empty name while a keyboard was first")
            << true << QByteArray("xkb:us::eng") << methods << QByteArray() << QByteArrayList{};
        QTest::newRow("one space") << true << QByteArray("xkb:us::eng") << methods << QByteArray(" ")
                                   << QByteArrayList{};
        QTest::newRow("the first input method, other case")
            << true << QByteArray("chewing") << methods << QByteArray("Chewing") << QByteArrayList{};
        QTest::newRow("no input methods")
            << true << QByteArray("xkb:us::eng") << QByteArrayList{} << QByteArray("rime") << QByteArrayList{};
        QTest::newRow("not an east asian locale")
            << false << QByteArray("xkb:us::eng") << methods << QByteArray("rime") << QByteArrayList{};
        // Folding bytes would make the trail byte 'A' equal 'a': another character altogether.
        QTest::newRow("big5 name is not byte-folded")
            << true << QByteArray("xkb:us::eng") << methods << QByteArray("\xa4\x61\xa4\x62")
            << QByteArrayList{"xkb:us::eng"};
    }
    void activateIme()
    {
        QFETCH(bool, eastAsian);
        QFETCH(QByteArray, firstEngine);
        QFETCH(QByteArrayList, methods);
        QFETCH(QByteArray, name);
        QFETCH(QByteArrayList, activated);
        QByteArrayList seen;
        int listReads = 0;
        InputMethodSwitcher switcher(std::make_unique<FakeFramework>(firstEngine, methods, &seen, &listReads),
                                     eastAsian);
        switcher.activateIme(name);
        QCOMPARE(seen, activated);
    }

    void currentImeName()
    {
        QByteArrayList seen;
        int listReads = 0;
        InputMethodSwitcher switcher(
            std::make_unique<FakeFramework>("xkb:us::eng", QByteArrayList{"chewing", "rime"}, &seen, &listReads), true);
        QCOMPARE(switcher.currentImeName(), QByteArray());
        switcher.activateIme("rime");
        QCOMPARE(switcher.currentImeName(), QByteArray("rime"));
        // The name active at the first use stays the keyboard: asking for an empty name changes nothing.
        switcher.activateIme("");
        QCOMPARE(switcher.currentImeName(), QByteArray("rime"));
        QCOMPARE(listReads, 1);

        InputMethodSwitcher none(nullptr, true);
        QCOMPARE(none.currentImeName(), QByteArray());
        none.activateIme("rime");
        InputMethodSwitcher elsewhere(
            std::make_unique<FakeFramework>("rime", QByteArrayList{"rime"}, &seen, &listReads), false);
        QCOMPARE(elsewhere.currentImeName(), QByteArray());
    }

    // Outside an East Asian locale the session is not even asked.
    void processWideOutsideEastAsianLocale()
    {
        qputenv("LC_ALL", "C");
        QCOMPARE(CurrentImeName(), QByteArray());
        ActivateIme("rime");
        QCOMPARE(CurrentImeName(), QByteArray());
    }

    void ibusEngineList_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("names only") << QByteArray("xkb:us::eng\nchewing\nrime\n") << QByteArrayList{"chewing", "rime"};
        QTest::newRow("long listing") << QByteArray("language: Chinese\n  chewing - Chewing\n  rime - Rime\n"
                                                    "language: English\n  xkb:us::eng - English (US)\n")
                                      << QByteArrayList{"chewing", "rime"};
        QTest::newRow("nothing") << QByteArray() << QByteArrayList{};
    }
    void ibusEngineList()
    {
        QFETCH(QByteArray, output);
        QFETCH(QByteArrayList, expected);
        QCOMPARE(ParseIbusEngineList(output), expected);
    }

    // Who holds a port: rows of the kernel's tables by local port, TCP only listening; then the process behind
    // a socket of this very test.
    void boundSockets()
    {
        const QByteArray udp =
            "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
            "  12: 00000000:198F 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 4101 2\n"
            "  13: 0100007F:198F 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        0 4102 2\n"
            "  14: 0100007F:1990 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 4103 2\n"
            "  15: 0100007F:19 garbage\n";
        const QList<host::BoundSocket> onPort = host::BoundSockets(udp, 6543, false);
        QCOMPARE(onPort.size(), 2);
        QCOMPARE(onPort[0].address, 0u);
        QCOMPARE(onPort[0].inode, 4101u);
        QCOMPARE(onPort[1].address, ip("127.0.0.1"));
        const QByteArray tcp =
            "  sl  local_address rem_address   st\n"
            "   0: 00000000:0CD9 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 5001 1\n"
            "   1: 0500000A:0CD9 0900000A:A1B2 01 00000000:00000000 00:00000000 00000000     0        0 5002 1\n";
        QCOMPARE(host::BoundSockets(tcp, 3289, true).size(), 1);
        QCOMPARE(host::BoundSockets(tcp, 3289, false).size(), 2);

        QUdpSocket mine;
        QVERIFY(mine.bind(QHostAddress::LocalHost, 0));
        const QList<host::BoundSocket> found =
            host::ReadBoundSockets(QLatin1String(host::ProcNetUdpPath), mine.localPort(), false);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].address, ip("127.0.0.1"));
        const std::optional<host::SocketHolder> holder = host::HolderOfSocket(found[0].inode);
        QVERIFY(holder);
        QCOMPARE(holder->pid, qint64(::getpid()));
        QVERIFY(!host::HolderOfSocket(0));
    }

    // Rules that drop or reject the two ports, in nft's JSON and in iptables-save's text; accepting rules,
    // other ports and negated matches are no such rules.
    void firewallRules_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<bool>("nft");
        QTest::addColumn<QByteArrayList>("expected"); // protocols:port:verdict:where

        const QByteArray table = R"({"table": {"family": "inet", "name": "lab", "handle": 1}}, )";
        const auto rule = [](const char *match, const char *verdict) {
            return QByteArray(R"({"rule": {"family": "inet", "table": "lab", "chain": "input", "handle": 2, "expr": [)"
                              R"({"match": {"op": "==", "left": {"payload": {"protocol": )") +
                   match + "}}, " + verdict + "]}}";
        };
        const auto nft = [&](const QByteArrayList &items) {
            return R"({"nftables": [{"metainfo": {"version": "1.0.6"}}, )" + table + items.join(", ") + "]}";
        };
        QTest::newRow("nft udp drop") << nft({rule(R"("udp", "field": "dport"}}, "right": 6543)", R"({"drop": null})")})
                                      << true << QByteArrayList{"1:6543:drop:inet lab input"};
        QTest::newRow("nft tcp set reject") << nft({rule(R"("tcp", "field": "dport"}}, "right": {"set": [80, 3289]})",
                                                         R"({"reject": {"type": "icmpx"}})")})
                                            << true << QByteArrayList{"2:3289:reject:inet lab input"};
        QTest::newRow("nft th range counts both")
            << nft({rule(R"("th", "field": "dport"}}, "right": {"range": [3000, 7000]})",
                         R"({"counter": {"packets": 0}}, {"drop": null})")})
            << true << QByteArrayList{"3:6543:drop:inet lab input", "3:3289:drop:inet lab input"};
        QTest::newRow("nft accept, other port, source port")
            << nft({rule(R"("udp", "field": "dport"}}, "right": 6543)", R"({"accept": null})"),
                    rule(R"("udp", "field": "dport"}}, "right": 6544)", R"({"drop": null})"),
                    rule(R"("udp", "field": "sport"}}, "right": 6543)", R"({"drop": null})")})
            << true << QByteArrayList{};
        QTest::newRow("nft input policy drop")
            << nft({R"({"chain": {"family": "ip", "table": "filter", "name": "INPUT", "hook": "input", "policy": "drop"}})",
                    R"({"chain": {"family": "ip", "table": "filter", "name": "OUTPUT", "hook": "output", "policy": "drop"}})"})
            << true << QByteArrayList{"3:0:drop:ip filter INPUT"};
        QTest::newRow("iptables")
            << QByteArray("*filter\n:INPUT ACCEPT [0:0]\n"
                          "-A INPUT -p udp -m udp --dport 6543 -j DROP\n"
                          "-A INPUT -p tcp -m multiport --dports 80,3289 -j REJECT --reject-with tcp-reset\n"
                          "-A INPUT -p udp -m udp --dport 6543 -j ACCEPT\n"
                          "-A FORWARD -p tcp --dport 3000:4000 -j DROP\nCOMMIT\n")
            << false
            << QByteArrayList{"1:6543:drop:filter INPUT", "2:3289:reject:filter INPUT", "2:3289:drop:filter FORWARD"};
        QTest::newRow("iptables policy drop")
            << QByteArray("*filter\n:INPUT DROP [0:0]\nCOMMIT\n") << false << QByteArrayList{"3:0:drop:filter INPUT"};
    }
    void firewallRules()
    {
        QFETCH(QByteArray, output);
        QFETCH(bool, nft);
        QFETCH(QByteArrayList, expected);
        bool valid = false;
        const QList<host::FirewallRule> rules = nft ? host::DroppingNftRules(output, {6543, 3289}, &valid)
                                                    : host::DroppingIptablesRules(output, {6543, 3289});
        QVERIFY(valid || !nft);
        QByteArrayList found;
        for (const host::FirewallRule &r : rules)
            found << QStringLiteral("%1:%2:%3:%4").arg(r.protocols).arg(r.port).arg(r.verdict, r.where).toUtf8();
        QCOMPARE(found, expected);
    }

    // Neither tool there: the report says it could not read, and nothing fails.
    void firewallUnreadableSaysSo()
    {
        bool valid = true;
        QVERIFY(host::DroppingNftRules("Error: Operation not permitted", {6543}, &valid).isEmpty());
        QVERIFY(!valid);
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        QTemporaryDir empty;
        qputenv("PATH", QFile::encodeName(empty.path()));
        host::FirewallReader reader;
        QSignalSpy finished(&reader, &host::FirewallReader::finished);
        reader.read({6543, 3289});
        QVERIFY(finished.wait(5000));
        const auto report = finished.at(0).at(0).value<host::FirewallReport>();
        QVERIFY(!report.readable);
        QVERIFY(report.problem.contains(QLatin1String("nft")));
        QVERIFY(report.problem.contains(QLatin1String("iptables-save")));
    }

    void powerOffDryRunOnlyPrints()
    {
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        QVERIFY(saved >= 0);
        QVERIFY(::dup2(capture.handle(), STDERR_FILENO) >= 0);
        QVERIFY(PowerOffHost());
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        capture.seek(0);
        QCOMPARE(capture.readAll(), QByteArray("power-off requested\n"));
    }

    // The real request goes to a private bus, never the system's: only logind's plain reply is a yes.
    void powerOffAsksLogindAndReadsTheAnswer()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess bus;
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY(bus.waitForStarted());
        QVERIFY(bus.waitForReadyRead(10000));
        const QString address = QString::fromLatin1(bus.readLine().trimmed());
        QVERIFY(!address.isEmpty());
        auto stopBus = qScopeGuard([&bus] {
            bus.kill();
            bus.waitForFinished();
        });

        QDBusConnection requester = QDBusConnection::connectToBus(address, QStringLiteral("requester"));
        QDBusConnection logind = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
        auto disconnect = qScopeGuard([] {
            QDBusConnection::disconnectFromBus(QStringLiteral("requester"));
            QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
        });
        QVERIFY(requester.isConnected() && logind.isConnected());
        QVERIFY(!RequestLogindPowerOff(requester, 2000)); // nobody owns the name

        QThread thread;
        FakeLogind fake;
        fake.moveToThread(&thread);
        thread.start();
        auto stopThread = qScopeGuard([&thread] {
            thread.quit();
            thread.wait();
        });
        QVERIFY(
            logind.registerObject(QStringLiteral("/org/freedesktop/login1"), &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));

        QVERIFY(RequestLogindPowerOff(requester, 5000));
        QCOMPARE(fake.calls.load(), 1);
        QVERIFY(!fake.interactive.load());
        fake.answer = FakeLogind::Answer::Refuse;
        QVERIFY(!RequestLogindPowerOff(requester, 5000));
        fake.answer = FakeLogind::Answer::Silence;
        QVERIFY(!RequestLogindPowerOff(requester, 300));
        QCOMPARE(fake.calls.load(), 3);

        QVERIFY(!RequestLogindPowerOff(QDBusConnection(QStringLiteral("never connected"))));
    }
};

QTEST_GUILESS_MAIN(TestHostServices)
#include "tst_hostservices.moc"
