#include "admin/TForm_Diagnosis.h"

#include "admin/transfer/FileTransfer.h"
#include "base/Cp950.h"
#include "engine/FriendTable.h"
#include "engine/NetworkDiagnosis.h"
#include "engine/SocketEngine.h"
#include "widgets/Placement.h"
#include "widgets/SkinnedFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString section(const QString &title, const QStringList &lines)
{
    QString html = QStringLiteral("<p><b>%1</b></p><ul>").arg(title);
    for (const QString &line : lines)
        html += QStringLiteral("<li>%1</li>").arg(line);
    return html + QStringLiteral("</ul>");
}

QStringList networkLines(const DiagnosisFacts &facts)
{
    QStringList lines;
    lines << (facts.ownAddress.isEmpty()
                  ? QStringLiteral("本機沒有可用的網絡地址：請檢查網線或無線網絡。")
                  : QStringLiteral("Parlune 使用的地址：%1").arg(QString::fromLatin1(facts.ownAddress)));
    lines << QStringLiteral("廣播發往：%1，端口 %2").arg(facts.broadcastAddress.toString()).arg(facts.broadcastPort);
    QStringList extra;
    for (const QHostAddress &destination : facts.extraDestinations)
        extra << destination.toString();
    if (!extra.isEmpty())
        lines << QStringLiteral("也發往其他網段：%1").arg(extra.join(QStringLiteral("、")));
    for (const DiagnosisFacts::Interface &interface : facts.interfaces) {
        if (interface.loopback)
            continue;
        const QString state = !interface.up        ? QStringLiteral("未啟用")
                              : !interface.running ? QStringLiteral("已啟用，但沒有連線")
                                                   : QStringLiteral("已連線");
        QStringList addresses;
        for (const DiagnosisFacts::Address &a : interface.addresses) {
            addresses << QStringLiteral("%1，子網掩碼 %2，廣播 %3")
                             .arg(a.ip.toString(), a.netmask.toString(),
                                  a.broadcast.isNull() ? QStringLiteral("無") : a.broadcast.toString());
        }
        lines << QStringLiteral("網卡 %1：%2；%3")
                     .arg(escaped(interface.name), state,
                          addresses.isEmpty() ? QStringLiteral("沒有 IPv4 地址")
                                              : addresses.join(QStringLiteral("；")));
    }
    return lines;
}

// use: what the port is for; unbound: what is missed without it.
QString portLine(const DiagnosisFacts::Port &port, const QString &use, const QString &unbound)
{
    const QString name =
        QStringLiteral("%1 %2").arg(port.udp ? QStringLiteral("UDP") : QStringLiteral("TCP")).arg(port.number);
    if (port.boundHere)
        return QStringLiteral("%1（%2）：已由本程序綁定。").arg(name, use);
    if (!port.holders.isEmpty())
        return QStringLiteral("%1（%2）：被其他程序佔用：%3。請關閉它後重新啟動 Parlune。")
            .arg(name, use, escaped(port.holders.join(QStringLiteral("、"))));
    return QStringLiteral("%1（%2）：沒有綁定，%3。請重新啟動 Parlune。").arg(name, use, unbound);
}

QStringList portLines(const DiagnosisFacts &facts)
{
    QStringList lines{
        portLine(facts.udp, QStringLiteral("收發廣播"), QStringLiteral("本機收不到廣播")),
        portLine(facts.tcp, QStringLiteral("接收信息"), QStringLiteral("本機收不到信息")),
    };
    if (facts.files.number)
        lines << portLine(facts.files, QStringLiteral("傳送文件"), QStringLiteral("別人無法從本機取得傳送的文件"));
    return lines;
}

QStringList firewallLines(const DiagnosisFacts &facts)
{
    const host::FirewallReport &report = facts.firewall;
    if (!report.readable)
        return {QStringLiteral("無法讀取防火牆規則（%1）。").arg(escaped(report.problem))};
    QStringList lines;
    for (const host::FirewallRule &rule : report.rules) {
        const QString verdict =
            rule.verdict == QLatin1String("reject") ? QStringLiteral("拒絕") : QStringLiteral("丟棄");
        if (rule.port == 0) {
            lines << QStringLiteral("%1 的預設策略是%2：沒有放行的端口都收不到。").arg(escaped(rule.where), verdict);
            continue;
        }
        const QString protocol = rule.protocols == host::FirewallRule::Udp   ? QStringLiteral("UDP")
                                 : rule.protocols == host::FirewallRule::Tcp ? QStringLiteral("TCP")
                                                                             : QStringLiteral("UDP/TCP");
        lines << QStringLiteral("%1 有規則%2發往 %3 端口 %4 的包。")
                     .arg(escaped(rule.where), verdict, protocol)
                     .arg(rule.port);
    }
    if (lines.isEmpty())
        lines << QStringLiteral("沒有丟棄 Parlune 端口的規則（讀自 %1）。").arg(report.tool);
    return lines;
}

QStringList friendLines(const DiagnosisFacts &facts)
{
    if (facts.friends.isEmpty())
        return {QStringLiteral("好友列表是空的：還沒有收到任何人的回覆。")};
    const auto when = [](const QDateTime &time) {
        return time.isValid() ? time.toString(QStringLiteral("yy-MM-dd hh:mm:ss")) : QStringLiteral("從未");
    };
    QStringList lines;
    for (const DiagnosisFacts::FriendHeard &peer : facts.friends) {
        lines << QStringLiteral("%1（%2）：廣播 %3，連接 %4")
                     .arg(escaped(cp950::decode(peer.user)), QString::fromLatin1(peer.ip), when(peer.datagram),
                          when(peer.stream));
    }
    return lines;
}

} // namespace

TForm_Diagnosis::TForm_Diagnosis(SocketEngine &engine, Presence &presence, FriendTable &friends,
                                 const FileTransfer *files, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_friends(friends),
      m_files(files), m_diagnosis(new NetworkDiagnosis(engine, friends, this)),
      m_probe(new NetworkProbe(engine, presence, this))
{
    setObjectName(QStringLiteral("Form_Diagnosis"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("網絡診斷"));
    setFont(QFont(QStringLiteral("細明體"), 9));
    setMinimumSize(300, 300);
    resize(DesignWidth, DesignHeight);
    buildControls();
    connect(m_diagnosis, &NetworkDiagnosis::factsReady, this, [this](const DiagnosisFacts &facts) {
        Memo_Facts->setHtml(factsHtml(facts));
        suiButton_Recheck->setEnabled(true);
    });
    connect(m_probe, &NetworkProbe::connected, this,
            [this] { tell(QStringLiteral("對方接受了連接，正在等待它回覆本機的廣播…"), QString()); });
    connect(m_probe, &NetworkProbe::finished, this, &TForm_Diagnosis::showVerdict);
}

TForm_Diagnosis::~TForm_Diagnosis() = default;

void TForm_Diagnosis::buildControls()
{
    suiForm_Diagnosis = new SkinnedFrame(this);
    suiForm_Diagnosis->setObjectName(QStringLiteral("suiForm_Diagnosis"));
    suiForm_Diagnosis->setCaption(windowTitle());
    suiForm_Diagnosis->setIconVisible(false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(suiForm_Diagnosis);

    auto *body = new QVBoxLayout(suiForm_Diagnosis);
    body->setContentsMargins(8, SkinnedFrame::TitleBarHeight + 6, 8, 8);

    Memo_Facts = new QTextBrowser(suiForm_Diagnosis);
    Memo_Facts->setObjectName(QStringLiteral("Memo_Facts"));
    body->addWidget(Memo_Facts, 1);

    suiButton_Recheck = new QPushButton(QStringLiteral("重新檢查"), suiForm_Diagnosis);
    suiButton_Recheck->setObjectName(QStringLiteral("suiButton_Recheck"));
    connect(suiButton_Recheck, &QPushButton::clicked, this, &TForm_Diagnosis::suiButton_RecheckClick);
    body->addWidget(suiButton_Recheck, 0, Qt::AlignRight);

    auto *probeRow = new QHBoxLayout;
    probeRow->addWidget(new QLabel(QStringLiteral("檢測主機:"), suiForm_Diagnosis));
    suiEdit_Probe = new QLineEdit(suiForm_Diagnosis);
    suiEdit_Probe->setObjectName(QStringLiteral("suiEdit_Probe"));
    suiEdit_Probe->setPlaceholderText(QStringLiteral("IP 地址或好友昵稱"));
    connect(suiEdit_Probe, &QLineEdit::returnPressed, this, &TForm_Diagnosis::suiButton_ProbeClick);
    probeRow->addWidget(suiEdit_Probe, 1);
    suiButton_Probe = new QPushButton(QStringLiteral("檢測"), suiForm_Diagnosis);
    suiButton_Probe->setObjectName(QStringLiteral("suiButton_Probe"));
    connect(suiButton_Probe, &QPushButton::clicked, this, &TForm_Diagnosis::suiButton_ProbeClick);
    probeRow->addWidget(suiButton_Probe);
    body->addLayout(probeRow);

    Label_Verdict = new QLabel(suiForm_Diagnosis);
    Label_Verdict->setObjectName(QStringLiteral("Label_Verdict"));
    Label_Verdict->setWordWrap(true);
    QFont bold = Label_Verdict->font();
    bold.setBold(true);
    Label_Verdict->setFont(bold);
    body->addWidget(Label_Verdict);
    Label_Advice = new QLabel(suiForm_Diagnosis);
    Label_Advice->setObjectName(QStringLiteral("Label_Advice"));
    Label_Advice->setWordWrap(true);
    body->addWidget(Label_Advice);
}

void TForm_Diagnosis::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    PlaceAboveTaskbar(this);
    suiButton_RecheckClick();
}

void TForm_Diagnosis::suiButton_RecheckClick()
{
    suiButton_Recheck->setEnabled(false);
    Memo_Facts->setHtml(QStringLiteral("<p>正在檢查…</p>"));
    if (m_files) {
        const quint16 serving = m_files->servingPort();
        m_diagnosis->setFilePort(m_files->configuredPort() ? m_files->configuredPort() : serving, serving);
    }
    m_diagnosis->refresh();
}

void TForm_Diagnosis::suiButton_ProbeClick()
{
    const QString typed = suiEdit_Probe->text().trimmed();
    const std::optional<quint32> address = NetworkProbe::resolve(cp950::encode(typed), m_friends);
    if (!address) {
        tell(QStringLiteral("找不到「%1」。").arg(typed),
             QStringLiteral("請輸入對方的 IP 地址（如 192.168.1.20），或好友列表中的昵稱。"));
        return;
    }
    if (!NetworkProbe::isOtherHost(*address)) {
        tell(QStringLiteral("%1 是本機自己或不是一台主機的地址。").arg(QHostAddress(*address).toString()),
             QStringLiteral("請輸入另一台電腦的地址或昵稱。"));
        return;
    }
    suiButton_Probe->setEnabled(false);
    tell(QStringLiteral("正在檢測 %1…").arg(QHostAddress(*address).toString()), QString());
    m_probe->start(*address);
}

void TForm_Diagnosis::showVerdict(NetworkProbe::Verdict verdict)
{
    suiButton_Probe->setEnabled(true);
    tell(verdictText(verdict), adviceText(verdict));
}

void TForm_Diagnosis::tell(const QString &finding, const QString &advice)
{
    Label_Verdict->setText(finding);
    Label_Advice->setText(advice);
}

QString TForm_Diagnosis::verdictText(NetworkProbe::Verdict verdict)
{
    switch (verdict) {
    case NetworkProbe::Verdict::NoRoute:
        return QStringLiteral("沒有路由：連不到這台主機。");
    case NetworkProbe::Verdict::NoParlune:
        return QStringLiteral("主機在線，但沒有運行 Parlune。");
    case NetworkProbe::Verdict::DatagramsBlocked:
        return QStringLiteral("對方運行著 Parlune，但本機的廣播到不了它。");
    case NetworkProbe::Verdict::AllFine:
        return QStringLiteral("一切正常：對方收到了本機的廣播並已回覆。");
    }
    return {};
}

QString TForm_Diagnosis::adviceText(NetworkProbe::Verdict verdict)
{
    switch (verdict) {
    case NetworkProbe::Verdict::NoRoute:
        return QStringLiteral("請確認地址無誤、對方已開機，並且與本機接在同一網絡上。");
    case NetworkProbe::Verdict::NoParlune:
        return QStringLiteral("請在對方電腦上啟動 Parlune。");
    case NetworkProbe::Verdict::DatagramsBlocked:
        return QStringLiteral("請檢查對方的防火牆是否放行 UDP 端口 6543（對方處於隱身狀態時也不會回覆）。");
    case NetworkProbe::Verdict::AllFine:
        return QStringLiteral("若仍看不到對方，請使用主菜單的《刷新》。");
    }
    return {};
}

QString TForm_Diagnosis::factsHtml(const DiagnosisFacts &facts)
{
    return section(QStringLiteral("本機網絡"), networkLines(facts)) +
           section(QStringLiteral("端口"), portLines(facts)) + section(QStringLiteral("防火牆"), firewallLines(facts)) +
           section(QStringLiteral("好友最後收到的時間"), friendLines(facts));
}
