#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "platform/desktop_bus.h"
#include "platform/desktop_notification.h"

namespace platform {

void SendFreedesktopNotification(const std::string& summary, const std::string& body) {
    PostToDesktopBus([summary, body] {
        QDBusMessage request = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        const QString entry = QString::fromUtf8(kDesktopEntryId);
        // Replacing nothing, no actions, the server's own timeout; the desktop entry lets the
        // server find the application's settings and icon.
        request << QString::fromUtf8(kDesktopApplicationName) << 0U << QString::fromUtf8(kDesktopIconName)
                << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList()
                << QVariantMap{{QStringLiteral("desktop-entry"), entry}} << -1;
        // Its answer (the notification's id) is of no use.
        (void)QDBusConnection::sessionBus().send(request);
    });
}

}  // namespace platform
