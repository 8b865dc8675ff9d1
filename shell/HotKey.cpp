#include "shell/HotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace {

constexpr xcb_keysym_t ReturnKeysym = 0xff0d;
// Num Lock is Mod2 on every common keyboard map.
constexpr std::uint16_t NumLockMask = XCB_MOD_MASK_2;
constexpr std::uint16_t IgnoredLocks = XCB_MOD_MASK_LOCK | NumLockMask;
constexpr std::uint16_t ModifierBits = 0xff;

xcb_connection_t *x11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

HotKey::HotKey(QObject *parent) : QObject(parent)
{
    m_connection = x11Connection();
    if (!m_connection)
        return;
    grab();
    if (isGrabbed())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

HotKey::~HotKey()
{
    if (!m_connection)
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    ungrab();
}

bool HotKey::isShiftOnly(std::uint16_t xcbState)
{
    return (xcbState & ModifierBits & ~IgnoredLocks) == XCB_MOD_MASK_SHIFT;
}

void HotKey::grab()
{
    auto *connection = static_cast<xcb_connection_t *>(m_connection);
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, ReturnKeysym)) {
        for (xcb_keycode_t *code = codes; *code != XCB_NO_SYMBOL; ++code)
            m_returnKeycodes.append(*code);
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);

    const std::uint16_t combinations[] = {0, XCB_MOD_MASK_LOCK, NumLockMask, XCB_MOD_MASK_LOCK | NumLockMask};
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem; xcb_screen_next(&roots)) {
        for (std::uint8_t keycode : std::as_const(m_returnKeycodes)) {
            for (std::uint16_t locks : combinations) {
                const std::uint16_t modifiers = XCB_MOD_MASK_SHIFT | locks;
                // Checked, so that a refused grab ends here instead of as an error message from Qt.
                const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                    connection, 1, roots.data->root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t *error = xcb_request_check(connection, cookie))
                    std::free(error);
                else
                    m_grabbed.append({roots.data->root, keycode, modifiers});
            }
        }
    }
}

void HotKey::ungrab()
{
    auto *connection = static_cast<xcb_connection_t *>(m_connection);
    for (const Grab &g : std::as_const(m_grabbed))
        xcb_ungrab_key(connection, g.keycode, g.root, g.modifiers);
    xcb_flush(connection);
    m_grabbed.clear();
}

bool HotKey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto *press = static_cast<const xcb_key_press_event_t *>(message);
    const bool ours = std::any_of(m_grabbed.cbegin(), m_grabbed.cend(), [press](const Grab &g) {
        return g.root == press->event && g.keycode == press->detail;
    });
    if (!ours)
        return false;
    if (isShiftOnly(press->state))
        Q_EMIT activated();
    return true;
}
