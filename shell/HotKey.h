#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <cstdint>

// The system-wide hot key Shift+Enter: a passive key grab on the X11 root windows, whose presses reach the GUI
// thread through Qt's native event filter. A grab that fails (another program holds the key) is ignored, and on
// platforms other than X11 there is no hot key at all.
class HotKey final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HotKey)

public:
    explicit HotKey(QObject *parent = nullptr);
    ~HotKey() override;

    // True when at least one grab was accepted by the X server.
    bool isGrabbed() const { return !m_grabbed.isEmpty(); }

    // Exactly Shift, with Caps Lock and Num Lock not counting.
    static bool isShiftOnly(std::uint16_t xcbState);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void activated();

private:
    struct Grab
    {
        std::uint32_t root;
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    void grab();
    void ungrab();

    void *m_connection = nullptr; // xcb_connection_t, kept opaque so that users need no xcb headers
    QList<Grab> m_grabbed;
    QList<std::uint8_t> m_returnKeycodes;
};
