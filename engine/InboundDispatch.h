#pragma once

#include "engine/ConsoleState.h"
#include "engine/HistoryStore.h"

#include <QByteArray>
#include <QObject>
#include <deque>
#include <functional>
#include <optional>

class MessageTable;
class PacketTransport;

// Remote power-off passwords cross the segment in clear text and any host may try as many as it likes:
// after a run of wrong ones, every request is refused for a while, whatever password it carries.
class PasswordGuard
{
public:
    static constexpr int MaxFailures = 5;
    static constexpr qint64 FailureWindowMs = 10 * 60 * 1000;
    static constexpr qint64 LockoutMs = 10 * 60 * 1000;

    bool lockedOut(qint64 nowMs);
    // Counts one wrong password; true when it is the one that starts a lock-out.
    bool recordFailure(qint64 nowMs);

    // Byte-exact equality in a time that depends on the lengths only, never on where the texts differ.
    static bool matches(const QByteArray &expected, const QByteArray &given);

private:
    std::deque<qint64> m_failures; // at most MaxFailures, oldest first
    std::optional<qint64> m_lockedUntil;
};

// What the console does with every arriving packet that is not about presence: stores chat messages and
// reacts to them, shows bulletins and notices, answers remote power-off requests and hands broadcasts and
// game traffic on. It reads the switches and the status from the console state; the windows it touches hear
// of it through signals, so the rules can be tested without them.
class InboundDispatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InboundDispatch)

public:
    // What the rules have to ask of the host and the windows.
    struct Questions
    {
        std::function<QByteArray()> localAddress;
        // Whether the message window is open.
        std::function<bool()> messageWindowOpen;
        // A remote power-off with the right password: asks the system, true when it accepted. The console
        // closes only then.
        std::function<bool()> powerOffHost;
        // Monotonic milliseconds for the password guard; a steady clock when empty.
        std::function<qint64()> clockMs;
    };

    InboundDispatch(MessageTable &messages, PacketTransport &transport, ConsoleState &state, Questions questions,
                    QObject *parent = nullptr);

    void onMessage(const QByteArray &packet);
    void onRemoteShutdown(const QByteArray &packet);
    void onNotice(const QByteArray &packet);
    void onBulletin(const QByteArray &packet);
    void onBroadcast(const QByteArray &packet);
    void onGame(const QByteArray &packet, bool viaStream);

    // Runs after every store into the message table.
    void RxMemoryData_MessageAfterPost();

    static QByteArray defaultAutoReply();

Q_SIGNALS:
    void beepRequested();
    // A notice of this host's own: on top of the notice window.
    void noticeRaised(const QByteArray &text, const QByteArray &caption);
    // A notice another host sent: at the notice window's caret, without a separator.
    void noticeReceived(const QByteArray &text, const QByteArray &caption);
    // The message window is to open on the current message; the rules go on reading the table after it.
    void readingRequested();
    // The tray's signal for unread messages: the unread picture and the flash timer.
    void unreadSignalled();
    // Hand-offs to the desktop assistant, the ticker and the game routing.
    void broadcastToSpeak(const QByteArray &name, const QByteArray &body);
    void broadcastArrived(const QByteArray &name, const QByteArray &time, const QByteArray &body);
    void gameArrived(const QByteArray &packet, bool viaStream);
    // The power-off was accepted and answered: the console closes.
    void closeRequested();
    // What another host said, for the history: a chat message the table took, a broadcast, a bulletin or a
    // notice. own: this host's own broadcast coming back. A notice names no sender: its address comes empty
    // and its caption stands for the nickname.
    void saidToKeep(HistoryStore::Kind kind, bool own, const QByteArray &address, const QByteArray &nickname,
                    const QByteArray &body);

private:
    qint64 now() const;
    void warnOfGuessing(const QByteArray &requester);

    MessageTable &m_messages;
    PacketTransport &m_transport;
    ConsoleState &m_state;
    Questions m_questions;
    PasswordGuard m_guard;
};
