#include "platform/PowerOff.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdio>

void PowerOffHost()
{
    if (qEnvironmentVariableIsSet("PARLUNE_DRY_POWER_OFF")) {
        std::fputs("power-off requested\n", stderr);
        std::fflush(stderr);
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    // false: no interactive authentication; polkit answers at once.
    call << false;
    // Bounded, so a stuck logind cannot freeze the desktop; the answer itself is of no use.
    bus.call(call, QDBus::Block, 5000);
}
