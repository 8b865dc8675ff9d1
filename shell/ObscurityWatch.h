#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QWindow>

// Whether the X server reports a window fully covered by others: a full-screen program, a screen locker. Qt does
// not ask the server for visibility changes, so this adds them to the window's event mask and watches for them.
// Elsewhere (Wayland, offscreen, or under a compositing manager, which keeps every window unobscured) a window
// is never reported covered.
class ObscurityWatch final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ObscurityWatch)

public:
    explicit ObscurityWatch(QObject *parent = nullptr);
    ~ObscurityWatch() override;

    // Asks for the visibility changes of this window; a window made anew (a new id) is asked for again.
    void watch(WId window);
    bool isObscured() const { return m_obscured; }

Q_SIGNALS:
    void obscuredChanged(bool obscured);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void *m_connection = nullptr; // xcb_connection_t
    WId m_window = 0;
    bool m_obscured = false;
};
