#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include "platform/power_off.h"

namespace platform {

BOOL RequestLogindPowerOff(UINT /*flags*/) {
    // logind shuts down forcibly or not by its own inhibitor rules; the platform's "force" has
    // no counterpart. Not interactive: nobody is left to answer a password dialog.
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    request << QVariant(false);
    request.setAutoStartService(false);
    return QDBusConnection::systemBus().send(request) ? 1 : 0;
}

}  // namespace platform
