#pragma once

#include <QByteArray>

// Parlune places its windows itself: the ticker at the screen's top edge, the character anywhere on the desktop,
// pop-ups above the taskbar. A Wayland session gives its clients no global positions, so there Qt is asked for
// its X11 platform, through the session's X server; a platform the user chose is left alone.
namespace host {

// "xcb" when Qt should be asked for X11, else empty (Qt's own choice). From QT_QPA_PLATFORM, WAYLAND_DISPLAY,
// XDG_SESSION_TYPE and DISPLAY.
QByteArray PreferredPlatform(const QByteArray &chosen, const QByteArray &waylandDisplay, const QByteArray &sessionType,
                             const QByteArray &x11Display);
// Applies it to this process's environment; called before the application object is made.
void PreferX11UnderWayland();

} // namespace host
