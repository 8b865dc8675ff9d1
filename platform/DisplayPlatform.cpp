#include "platform/DisplayPlatform.h"

#include <QtGlobal>

namespace host {

QByteArray PreferredPlatform(const QByteArray &chosen, const QByteArray &waylandDisplay, const QByteArray &sessionType,
                             const QByteArray &x11Display)
{
    const bool wayland = !waylandDisplay.isEmpty() || sessionType == "wayland";
    // Without an X server to reach, Wayland is still better than nothing.
    if (!chosen.isEmpty() || !wayland || x11Display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

void PreferX11UnderWayland()
{
    const QByteArray platform = PreferredPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"),
                                                  qgetenv("XDG_SESSION_TYPE"), qgetenv("DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace host
