#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

class QProcess;
class QTimer;

// Packet-filter rules of this host that stop Parlune's ports, as far as the filter lets itself be read:
// nftables first, iptables where nft is missing. Reading needs the filter's tool and, mostly, root; what
// cannot be read is said so, never guessed.
namespace host {

struct FirewallRule
{
    enum Protocol { Udp = 1, Tcp = 2, Both = Udp | Tcp };
    int protocols = Both;
    quint16 port = 0; // 0: a chain's policy, which drops everything no rule accepts
    QString verdict;  // "drop" or "reject"
    QString where;    // "inet lab input", "filter INPUT"
};

struct FirewallReport
{
    bool readable = false;
    QString tool;    // "nft", "iptables-save"
    QString problem; // why nothing could be read
    QList<FirewallRule> rules;
};

// Rules of `nft -j list ruleset` output that drop or reject one of the ports, and input chains whose policy
// drops. Nothing when the text is no nft JSON.
QList<FirewallRule> DroppingNftRules(QByteArrayView json, const QList<quint16> &ports, bool *valid = nullptr);
// The same for `iptables-save` output.
QList<FirewallRule> DroppingIptablesRules(QByteArrayView text, const QList<quint16> &ports);

// Runs the filter's tools in the background, each bounded in time and output.
class FirewallReader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirewallReader)

public:
    static constexpr int TimeoutMs = 3000;
    static constexpr qint64 MaxOutputBytes = qint64(8) << 20;

    explicit FirewallReader(QObject *parent = nullptr);
    ~FirewallReader() override;

    // Starts reading for these ports; a read still running is dropped.
    void read(const QList<quint16> &ports);

Q_SIGNALS:
    void finished(const host::FirewallReport &report);

private:
    enum class Tool { Nft, Iptables };
    void run(Tool tool);
    void toolEnded(bool timedOut);

    QList<quint16> m_ports;
    Tool m_tool = Tool::Nft;
    QProcess *m_process = nullptr;
    QTimer *m_timeout = nullptr;
    QString m_nftProblem;
};

} // namespace host
