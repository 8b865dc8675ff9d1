#pragma once

#include "engine/ConsoleValues.h"

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
// game traffic on. The windows and switches it touches are reached through the hooks, so the rules can be
// tested without them.
class InboundDispatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InboundDispatch)

public:
    struct Hooks
    {
        // Check marks of the menu's switches and the status.
        std::function<bool()> autoShow;      // "自動彈出"
        std::function<bool()> beepOn;        // "聲音提示"
        std::function<bool()> remoteControl; // "遠程控制"
        std::function<bool()> away;          // status "離開"
        std::function<QByteArray()> localAddress;

        std::function<void()> beep;
        // The notice window: ShowNotice puts a notice on top; insertNotice puts a body at the caret, no separator.
        std::function<void(const QByteArray &text, const QByteArray &caption)> showNotice;
        std::function<void(const QByteArray &text, const QByteArray &caption)> insertNotice;
        // The message window.
        std::function<bool()> messageWindowOpen;
        std::function<void()> openCurrentForReading;
        // The tray's signal for unread messages: the unread picture and the flash timer.
        std::function<void()> signalUnread;
        // Hand-offs to the desktop assistant, the ticker and the game routing; empty until they exist.
        std::function<void(const QByteArray &name, const QByteArray &body)> speakBroadcast;
        std::function<void(const QByteArray &name, const QByteArray &time, const QByteArray &body)> showBroadcast;
        std::function<void(const QByteArray &packet, bool viaStream)> routeGame;
        // A remote power-off with the right password: asks the system, true when it accepted. The console
        // closes only then.
        std::function<bool()> powerOffHost;
        std::function<void()> closeConsole;
        // Monotonic milliseconds for the password guard; a steady clock when empty.
        std::function<qint64()> clockMs;
    };

    InboundDispatch(MessageTable &messages, PacketTransport &transport, ConsoleValues &values, Hooks hooks,
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

private:
    qint64 now() const;
    void warnOfGuessing(const QByteArray &requester);

    MessageTable &m_messages;
    PacketTransport &m_transport;
    ConsoleValues &m_values;
    Hooks m_hooks;
    PasswordGuard m_guard;
};
