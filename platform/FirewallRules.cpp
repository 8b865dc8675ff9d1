#include "platform/FirewallRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

namespace host {

namespace {

int protocolsOf(QStringView name)
{
    if (name == u"udp")
        return FirewallRule::Udp;
    if (name == u"tcp")
        return FirewallRule::Tcp;
    // "th": the transport header, whichever protocol it is.
    return name == u"th" ? FirewallRule::Both : 0;
}

// A match's right side: a port, a range, or a set of ports and ranges.
bool coversPort(const QJsonValue &right, quint16 port)
{
    if (right.isDouble())
        return right.toInt() == port;
    const QJsonObject object = right.toObject();
    if (object.contains(QLatin1String("range"))) {
        const QJsonArray range = object.value(QLatin1String("range")).toArray();
        return range.size() == 2 && range.at(0).toInt() <= port && port <= range.at(1).toInt();
    }
    for (const QJsonValue element : object.value(QLatin1String("set")).toArray()) {
        if (coversPort(element, port))
            return true;
    }
    return false;
}

QString nftPlace(const QJsonObject &object, const char *chainKey)
{
    return object.value(QLatin1String("family")).toString() + u' ' + object.value(QLatin1String("table")).toString() +
           u' ' + object.value(QLatin1String(chainKey)).toString();
}

void addNftRule(const QJsonObject &rule, const QList<quint16> &ports, QList<FirewallRule> *found)
{
    QString verdict;
    QList<std::pair<int, QJsonValue>> matches;
    for (const QJsonValue expression : rule.value(QLatin1String("expr")).toArray()) {
        const QJsonObject e = expression.toObject();
        if (e.contains(QLatin1String("drop")))
            verdict = QStringLiteral("drop");
        else if (e.contains(QLatin1String("reject")))
            verdict = QStringLiteral("reject");
        const QJsonObject match = e.value(QLatin1String("match")).toObject();
        const QJsonObject payload =
            match.value(QLatin1String("left")).toObject().value(QLatin1String("payload")).toObject();
        const QString op = match.value(QLatin1String("op")).toString();
        if (payload.value(QLatin1String("field")).toString() == QLatin1String("dport") &&
            (op == QLatin1String("==") || op == QLatin1String("in")))
            matches.append({protocolsOf(payload.value(QLatin1String("protocol")).toString()),
                            match.value(QLatin1String("right"))});
    }
    if (verdict.isEmpty())
        return;
    for (const quint16 port : ports) {
        for (const auto &[protocols, right] : matches) {
            if (protocols && coversPort(right, port))
                found->append(FirewallRule{protocols, port, verdict, nftPlace(rule, "chain")});
        }
    }
}

// "6543", "6000:7000", or "80,6543" of --dports.
bool iptablesCovers(QByteArrayView ports, quint16 port)
{
    for (const QByteArray &part : ports.toByteArray().split(',')) {
        const QList<QByteArray> bounds = part.split(':');
        const uint low = bounds.at(0).toUInt();
        const uint high = bounds.size() == 2 ? bounds.at(1).toUInt() : low;
        if (low <= port && port <= high)
            return true;
    }
    return false;
}

} // namespace

QList<FirewallRule> DroppingNftRules(QByteArrayView json, const QList<quint16> &ports, bool *valid)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    const QJsonValue items = document.object().value(QLatin1String("nftables"));
    if (valid)
        *valid = error.error == QJsonParseError::NoError && items.isArray();
    QList<FirewallRule> found;
    for (const QJsonValue item : items.toArray()) {
        const QJsonObject object = item.toObject();
        if (object.contains(QLatin1String("rule"))) {
            addNftRule(object.value(QLatin1String("rule")).toObject(), ports, &found);
            continue;
        }
        const QJsonObject chain = object.value(QLatin1String("chain")).toObject();
        if (chain.value(QLatin1String("hook")).toString() == QLatin1String("input") &&
            chain.value(QLatin1String("policy")).toString() == QLatin1String("drop"))
            found.append(FirewallRule{FirewallRule::Both, 0, QStringLiteral("drop"), nftPlace(chain, "name")});
    }
    return found;
}

QList<FirewallRule> DroppingIptablesRules(QByteArrayView text, const QList<quint16> &ports)
{
    QList<FirewallRule> found;
    QString table;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (line.startsWith('*')) {
            table = QString::fromLatin1(line.mid(1).trimmed());
        } else if (line.startsWith(':') && words.size() >= 2 && words.at(0) == ":INPUT" && words.at(1) == "DROP") {
            found.append(FirewallRule{FirewallRule::Both, 0, QStringLiteral("drop"), table + QStringLiteral(" INPUT")});
        } else if (line.startsWith("-A ") && words.size() >= 2) {
            int protocols = FirewallRule::Both;
            QByteArray portText;
            QString verdict;
            for (qsizetype i = 0; i + 1 < words.size(); ++i) {
                const QByteArray &word = words.at(i);
                const QByteArray &next = words.at(i + 1);
                if (word == "-p" || word == "--protocol")
                    protocols = protocolsOf(QString::fromLatin1(next));
                else if (word == "--dport" || word == "--dports" || word == "--destination-port")
                    portText = next;
                else if ((word == "-j" || word == "--jump") && (next == "DROP" || next == "REJECT"))
                    verdict = QString::fromLatin1(next).toLower();
            }
            if (verdict.isEmpty() || portText.isEmpty() || !protocols)
                continue;
            for (const quint16 port : ports) {
                if (iptablesCovers(portText, port))
                    found.append(
                        FirewallRule{protocols, port, verdict, table + u' ' + QString::fromLatin1(words.at(1))});
            }
        }
    }
    return found;
}

FirewallReader::FirewallReader(QObject *parent) : QObject(parent), m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(TimeoutMs);
    connect(m_timeout, &QTimer::timeout, this, [this] { toolEnded(true); });
}

FirewallReader::~FirewallReader()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(500);
    }
}

void FirewallReader::read(const QList<quint16> &ports)
{
    m_ports = ports;
    m_nftProblem.clear();
    run(Tool::Nft);
}

void FirewallReader::run(Tool tool)
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->deleteLater();
    }
    m_tool = tool;
    m_process = new QProcess(this);
    // A tool that talks forever must not fill this process's memory: its output is taken within the bound.
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        if (m_process->bytesAvailable() > MaxOutputBytes)
            toolEnded(true);
    });
    connect(m_process, &QProcess::finished, this, [this] { toolEnded(false); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            toolEnded(false);
    });
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    if (tool == Tool::Nft)
        m_process->start(QStringLiteral("nft"),
                         {QStringLiteral("-j"), QStringLiteral("list"), QStringLiteral("ruleset")});
    else
        m_process->start(QStringLiteral("iptables-save"), {});
    m_timeout->start();
}

void FirewallReader::toolEnded(bool timedOut)
{
    m_timeout->stop();
    QProcess *process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    const bool started = process->error() != QProcess::FailedToStart;
    if (timedOut)
        process->kill();
    const bool ran = started && !timedOut && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    const QByteArray output = ran ? process->readAllStandardOutput() : QByteArray();
    const QString error = QString::fromLocal8Bit(process->readAllStandardError().left(200)).trimmed();
    process->deleteLater();

    const QString name = m_tool == Tool::Nft ? QStringLiteral("nft") : QStringLiteral("iptables-save");
    const QString problem = !started   ? name + QStringLiteral(": not installed")
                            : timedOut ? name + QStringLiteral(": no answer")
                                       : name + QStringLiteral(": ") + error;
    FirewallReport report;
    report.tool = name;
    if (m_tool == Tool::Nft) {
        bool valid = false;
        report.rules = ran ? DroppingNftRules(output, m_ports, &valid) : QList<FirewallRule>();
        if (!valid) {
            m_nftProblem = ran ? name + QStringLiteral(": unreadable output") : problem;
            run(Tool::Iptables);
            return;
        }
        report.readable = true;
    } else if (ran) {
        report.readable = true;
        report.rules = DroppingIptablesRules(output, m_ports);
    } else {
        report.problem = m_nftProblem + QStringLiteral("; ") + problem;
    }
    Q_EMIT finished(report);
}

} // namespace host
