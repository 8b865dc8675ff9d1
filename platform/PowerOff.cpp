#include "platform/PowerOff.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdio>

bool PowerOffHost()
{
    if (qEnvironmentVariableIsSet("PARLUNE_DRY_POWER_OFF")) {
        std::fputs("power-off requested\n", stderr);
        std::fflush(stderr);
        return true;
    }
    return RequestLogindPowerOff(QDBusConnection::systemBus());
}

bool RequestLogindPowerOff(const QDBusConnection &bus, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    // false: no interactive authentication; polkit answers at once.
    call << false;
    // Bounded, so a stuck logind cannot freeze the desktop; a timeout comes back as an error reply.
    const QDBusMessage answer = bus.call(call, QDBus::Block, timeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage;
}
