#pragma once

#include "engine/ConsoleValues.h"

#include <QByteArray>
#include <QObject>
#include <functional>

class MessageTable;
class PacketTransport;

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
        // An accepted remote power-off: power the host off, then close the console.
        std::function<void()> powerOffHost;
        std::function<void()> closeConsole;
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

    // The 10-point Ming frame of the auto-reply and the power-off answers around one line of text.
    static QByteArray mingNotice(const QByteArray &cp950Text);
    static QByteArray defaultAutoReply();

private:
    MessageTable &m_messages;
    PacketTransport &m_transport;
    ConsoleValues &m_values;
    Hooks m_hooks;
};
