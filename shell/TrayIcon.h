#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>
#include <functional>

class QTimer;

// The tray icon of the console: its pictures, its tooltip, the flashing while messages are unread, and the
// mouse doors (left press: send message, Shift + left press: send broadcast, right press: the main menu).
// What it needs to know comes through Questions and what it asks for goes out as signals, so it can be driven
// alone.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    // The four looks of the icon; None before it was added.
    enum class Look { None, Idle, NewMessage, Empty, Rest };
    Q_ENUM(Look)

    static constexpr int TipBytes = 63; // what the tooltip field always held, without its terminating zero
    static constexpr int FlashIntervalMs = 500;
    static constexpr int IconSize = 32;

    struct Questions
    {
        std::function<QByteArray()> nickname;     // code page 950
        std::function<QByteArray()> localAddress; // asked at every change, never cached
        std::function<bool()> flashingSwitch;     // check mark of MenuItem_IInnervation
        std::function<bool()> hasUnread;          // some message is not read
        // Defaults: QGuiApplication::queryKeyboardModifiers() and QCursor::pos(); tests replace them.
        std::function<Qt::KeyboardModifiers()> keyboardModifiers;
        std::function<QPoint()> pointerPosition;
    };

    // innervation: the console's Timer_Innervation if it owns one; otherwise the tray makes its own.
    explicit TrayIcon(Questions questions, QTimer *innervation = nullptr, QObject *parent = nullptr);
    ~TrayIcon() override;

    bool AddTrayIcon();
    // A null icon empties the icon's place but keeps it (a transparent picture, not a hidden icon).
    bool SetTrayIcon(const QIcon &icon);
    bool RemoveTrayIcon();
    // The same picture with a fresh tooltip (after the nickname changed).
    void refreshTip();

    QByteArray TrayTip() const;
    static QByteArray buildTrayTip(const QByteArray &nickname, const QByteArray &address);
    static QString tipForDisplay(const QByteArray &tip);

    // ImageList_NotifyIcon: 0 idle, 1 new message, 2 unused.
    QIcon notifyImage(int index) const;
    static QIcon mainIcon();
    void showLook(Look look);
    Look look() const { return m_look; }

    // Flashing. A stored unread message shows image 1 and starts the timer; switching flashing on starts it;
    // reading the last message or emptying the table brings the icon to rest.
    void unreadMessageStored();
    void flashingSwitchedOn();
    void comeToRest();
    bool FlashPhase() const { return m_flashPhase; }
    QTimer *Timer_Innervation() const { return m_innervation; }
    void Timer_InnervationTimer();

    // Doors. requestActivation is what a second start asks for: a left press, with the Shift state of the
    // moment the queued request is handled.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    void leftPress();
    void rightPress();
    void requestActivation();

    QSystemTrayIcon *systemTrayIcon() const { return m_tray; }

Q_SIGNALS:
    void sendMessageRequested();
    void sendBroadcastRequested();
    // The main menu, at the pointer position of the press.
    void menuRequested(const QPoint &at);

private:
    QIcon emptyIcon() const;
    void showTip();

    Questions m_questions;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer *m_innervation = nullptr;
    QList<QIcon> m_images;
    QIcon m_current;
    Look m_look = Look::None;
    bool m_flashPhase = false;
};
