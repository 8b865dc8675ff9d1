#include "engine/InboundDispatch.h"

#include "base/Cp950.h"
#include "engine/MessageTable.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <chrono>

using namespace Packet;

namespace {

constexpr char MingFramePrefix[] = "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil"
                                   "\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\\viewkind4\\uc1\\pard\\lang1028"
                                   "\\f0\\fs20";

// Texts of the system are written here in Unicode and go out in code page 950.
QByteArray big5(const char16_t *text)
{
    return cp950::encode(QStringView(text));
}

} // namespace

bool PasswordGuard::lockedOut(qint64 nowMs)
{
    if (m_lockedUntil && nowMs >= *m_lockedUntil)
        m_lockedUntil.reset();
    return m_lockedUntil.has_value();
}

bool PasswordGuard::recordFailure(qint64 nowMs)
{
    if (lockedOut(nowMs))
        return false;
    while (!m_failures.empty() && nowMs - m_failures.front() >= FailureWindowMs)
        m_failures.pop_front();
    m_failures.push_back(nowMs);
    if (int(m_failures.size()) < MaxFailures)
        return false;
    m_failures.clear();
    m_lockedUntil = nowMs + LockoutMs;
    return true;
}

bool PasswordGuard::matches(const QByteArray &expected, const QByteArray &given)
{
    // Digests have one length, so the comparison below walks the same bytes whatever was sent.
    const QByteArray a = QCryptographicHash::hash(expected, QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

QByteArray InboundDispatch::mingNotice(const QByteArray &cp950Text)
{
    // A lead byte's trail byte may be ASCII (0x40-0x7E): it is escaped too, so walk by characters.
    static constexpr char hex[] = "0123456789abcdef";
    QByteArray out(MingFramePrefix);
    for (qsizetype i = 0; i < cp950Text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(cp950Text[i]);
        const bool lead = byte >= 0x81 && byte <= 0xFE && i + 1 < cp950Text.size();
        const int count = lead ? 2 : (byte >= 0x80 ? 1 : 0);
        if (count == 0) {
            if (byte == '\\' || byte == '{' || byte == '}')
                out.append('\\');
            out.append(char(byte));
            continue;
        }
        for (int k = 0; k < count; ++k) {
            const auto b = static_cast<unsigned char>(cp950Text[i + k]);
            out.append("\\'");
            out.append(hex[b >> 4]);
            out.append(hex[b & 0xF]);
        }
        i += count - 1;
    }
    out.append("\\par}");
    return out;
}

QByteArray InboundDispatch::defaultAutoReply()
{
    return QByteArray(MingFramePrefix) +
           "\\'b1\\'7a\\'a6\\'6e!\\'a7\\'da\\'b2\\'7b\\'a6\\'62\\'a6\\'b3\\'a8\\'c6\\'a6\\'a3\\'a1\\'41\\'bd\\'d0\\'b5"
           "\\'79\\'ab\\'e1\\'c1\\'70\\'b5\\'b8\\lang1033 ...\\lang1028\\par}";
}

InboundDispatch::InboundDispatch(MessageTable &messages, PacketTransport &transport, ConsoleState &state,
                                 Questions questions, QObject *parent)
    : QObject(parent), m_messages(messages), m_transport(transport), m_state(state), m_questions(std::move(questions))
{
    connect(&m_messages, &MessageTable::afterPost, this, &InboundDispatch::RxMemoryData_MessageAfterPost);
}

void InboundDispatch::onMessage(const QByteArray &packet)
{
    const QByteArray address = ExtractField(2, packet);
    // A message the full table refused was never received as far as the user can tell: no beep, and no
    // auto-reply promising an answer to it.
    if (!m_messages.append(ExtractField(3, packet), address, ExtractField(5, packet)))
        return;
    if (m_state.suggestive())
        Q_EMIT beepRequested();
    if (m_state.status() == Presence::Away && address != m_questions.localAddress()) {
        const QByteArray caption = big5(u"應答信息- [") + m_state.values().OwnNickname + "]";
        m_transport.SendReply(address, build(CMD_NOTICE, {caption, m_state.values().AutoReplyText}),
                              PacketTransport::ReplyKind::Answer);
    }
}

void InboundDispatch::RxMemoryData_MessageAfterPost()
{
    if (m_state.autoShow() && !(m_questions.messageWindowOpen && m_questions.messageWindowOpen())) {
        Q_EMIT readingRequested();
        const Message *row = m_messages.current();
        if (row) {
            const QByteArray ip = row->IP;
            m_messages.setCurrentRead(true);
            m_messages.setFilter(QStringLiteral("IP='%1'").arg(QString::fromLatin1(ip)));
            m_messages.setFiltered(true);
        }
    }
    const Message *row = m_messages.current();
    if (row && !row->Read)
        Q_EMIT unreadSignalled();
}

void InboundDispatch::onRemoteShutdown(const QByteArray &packet)
{
    const QByteArray requester = ExtractField(2, packet);
    const QByteArray caption = big5(u"遠程主機信息");
    auto reply = [&](const QByteArray &text) {
        m_transport.SendReply(requester, build(CMD_NOTICE, {caption, mingNotice(text)}),
                              PacketTransport::ReplyKind::Answer);
    };
    // An empty password would let anyone on the segment power the host off, so it counts as switched off.
    if (!m_state.remoteControl() || m_state.values().OwnPassword.isEmpty()) {
        reply(big5(u"遠程主機未啟動遠程控制!"));
        return;
    }
    const qint64 nowMs = now();
    if (m_guard.lockedOut(nowMs)) {
        reply(big5(u"密碼錯誤!"));
        return;
    }
    if (!PasswordGuard::matches(m_state.values().OwnPassword, ExtractField(4, packet))) {
        if (m_guard.recordFailure(nowMs))
            warnOfGuessing(requester);
        reply(big5(u"密碼錯誤!"));
        return;
    }
    // The system may refuse (an inhibitor, polkit): then the host runs on and the requester hears so.
    if (!(m_questions.powerOffHost && m_questions.powerOffHost())) {
        reply(big5(u"遠程主機無法關閉!"));
        return;
    }
    reply(big5(u"遠程主機已關閉!"));
    Q_EMIT closeRequested();
}

qint64 InboundDispatch::now() const
{
    if (m_questions.clockMs)
        return m_questions.clockMs();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void InboundDispatch::warnOfGuessing(const QByteArray &requester)
{
    // Field 2 is whatever the sender wrote: only a plain IPv4 address is repeated to the user.
    QHostAddress address;
    const bool plain = requester.size() <= 15 && address.setAddress(QString::fromLatin1(requester)) &&
                       address.protocol() == QAbstractSocket::IPv4Protocol;
    const QString from = plain ? address.toString() : QStringLiteral("不明位址");
    const QString text = QStringLiteral("有人正在猜測本機的遠程控制密碼：十分鐘內錯了五次，最後一次的請求自稱來自 %1。"
                                        "此後十分鐘內，所有遠程關機請求一律拒絕。")
                             .arg(from);
    Q_EMIT noticeRaised(NoticeText::build(text), big5(u"遠程控制警告"));
}

void InboundDispatch::onNotice(const QByteArray &packet)
{
    Q_EMIT noticeReceived(ExtractField(3, packet), ExtractField(2, packet));
}

void InboundDispatch::onBulletin(const QByteArray &packet)
{
    if (ExtractField(2, packet) == m_questions.localAddress())
        return;
    const QByteArray caption = big5(u"緊急通告－") + ExtractField(3, packet);
    Q_EMIT noticeRaised(ExtractField(5, packet), caption);
}

void InboundDispatch::onBroadcast(const QByteArray &packet)
{
    const QByteArray name = ExtractField(3, packet);
    const QByteArray body = ExtractField(5, packet);
    Q_EMIT broadcastToSpeak(name, body);
    Q_EMIT broadcastArrived(name, ExtractField(4, packet), body);
}

void InboundDispatch::onGame(const QByteArray &packet, bool viaStream)
{
    if (!viaStream && ExtractField(2, packet) == m_questions.localAddress())
        return;
    Q_EMIT gameArrived(packet, viaStream);
}
