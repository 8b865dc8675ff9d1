#include "shell/ObscurityWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

ObscurityWatch::ObscurityWatch(QObject *parent) : QObject(parent)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        m_connection = x11->connection();
    if (m_connection)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

ObscurityWatch::~ObscurityWatch()
{
    if (m_connection)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void ObscurityWatch::watch(WId window)
{
    if (!m_connection || window == 0 || window == m_window)
        return;
    m_window = window;
    auto *connection = static_cast<xcb_connection_t *>(m_connection);
    const auto id = xcb_window_t(window);
    // The mask Qt chose stays whole: only the visibility changes are added to it.
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

bool ObscurityWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto *visibility = reinterpret_cast<const xcb_visibility_notify_event_t *>(event);
    if (visibility->window != xcb_window_t(m_window))
        return false;
    const bool obscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (obscured != m_obscured) {
        m_obscured = obscured;
        Q_EMIT obscuredChanged(obscured);
    }
    return false;
}
