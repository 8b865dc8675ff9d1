#include "engine/InboundDispatch.h"

#include "base/Cp950.h"
#include "engine/MessageTable.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "engine/WireTexts.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <chrono>

using namespace Packet;

namespace {

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

QByteArray InboundDispatch::defaultAutoReply()
{
    return NoticeText::prefix(NoticeText::Frame::Ming10) + wire::DefaultAutoReplyBody;
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
    Q_EMIT saidToKeep(HistoryStore::Kind::Chat, false, address, ExtractField(3, packet), ExtractField(5, packet));
    if (m_state.suggestive())
        Q_EMIT beepRequested();
    if (m_state.status() == Presence::Away && address != m_questions.localAddress()) {
        const QByteArray caption =
            big5(wire::AutoReplyCaptionStart) + m_state.values().OwnNickname + wire::AutoReplyCaptionEnd;
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
    const QByteArray caption = big5(wire::RemoteHostCaption);
    auto reply = [&](const char16_t *text) {
        m_transport.SendReply(requester,
                              build(CMD_NOTICE, {caption, NoticeText::build(text, NoticeText::Frame::Ming10)}),
                              PacketTransport::ReplyKind::Answer);
    };
    // An empty password would let anyone on the segment power the host off, so it counts as switched off.
    if (!m_state.remoteControl() || m_state.values().OwnPassword.isEmpty()) {
        reply(wire::RemoteControlOff);
        return;
    }
    const qint64 nowMs = now();
    if (m_guard.lockedOut(nowMs)) {
        reply(wire::PasswordWrong);
        return;
    }
    if (!PasswordGuard::matches(m_state.values().OwnPassword, ExtractField(4, packet))) {
        if (m_guard.recordFailure(nowMs))
            warnOfGuessing(requester);
        reply(wire::PasswordWrong);
        return;
    }
    // The system may refuse (an inhibitor, polkit): then the host runs on and the requester hears so.
    if (!(m_questions.powerOffHost && m_questions.powerOffHost())) {
        reply(wire::PowerOffRefused);
        return;
    }
    reply(wire::PowerOffDone);
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
    const QString from = plain ? address.toString() : QStringView(wire::UnknownAddress).toString();
    const QString text = QStringView(wire::PasswordGuessing).toString().arg(from);
    Q_EMIT noticeRaised(NoticeText::build(text), big5(wire::GuessingCaption));
}

void InboundDispatch::onNotice(const QByteArray &packet)
{
    Q_EMIT saidToKeep(HistoryStore::Kind::Notice, false, {}, ExtractField(2, packet), ExtractField(3, packet));
    Q_EMIT noticeReceived(ExtractField(3, packet), ExtractField(2, packet));
}

void InboundDispatch::onBulletin(const QByteArray &packet)
{
    if (ExtractField(2, packet) == m_questions.localAddress())
        return;
    Q_EMIT saidToKeep(HistoryStore::Kind::Bulletin, false, ExtractField(2, packet), ExtractField(3, packet),
                      ExtractField(5, packet));
    const QByteArray caption = big5(wire::BulletinCaptionStart) + ExtractField(3, packet);
    Q_EMIT noticeRaised(ExtractField(5, packet), caption);
}

void InboundDispatch::onBroadcast(const QByteArray &packet)
{
    const QByteArray name = ExtractField(3, packet);
    const QByteArray body = ExtractField(5, packet);
    const QByteArray address = ExtractField(2, packet);
    Q_EMIT saidToKeep(HistoryStore::Kind::Broadcast, address == m_questions.localAddress(), address, name, body);
    Q_EMIT broadcastToSpeak(name, body);
    Q_EMIT broadcastArrived(name, ExtractField(4, packet), body);
}

void InboundDispatch::onGame(const QByteArray &packet, bool viaStream)
{
    if (!viaStream && ExtractField(2, packet) == m_questions.localAddress())
        return;
    Q_EMIT gameArrived(packet, viaStream);
}
