#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "platform/desktop_bus.h"
#include "platform/launcher_progress.h"

namespace platform {

void SendUnityLauncherEntry(const LauncherProgress& progress) {
    PostToDesktopBus([progress] {
        const QString entry = QString::fromUtf8(kDesktopEntryId);
        // An object path holds no dots.
        QDBusMessage update = QDBusMessage::createSignal(
            QStringLiteral("/com/canonical/unity/launcherentry/") + QString(entry).replace('.', '_'),
            QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
        update << QStringLiteral("application://%1.desktop").arg(entry)
               << QVariantMap{{QStringLiteral("progress"), progress.fraction},
                              {QStringLiteral("progress-visible"), progress.shown},
                              {QStringLiteral("count"), static_cast<qlonglong>(progress.count)},
                              {QStringLiteral("count-visible"), progress.shown}};
        (void)QDBusConnection::sessionBus().send(update);
    });
}

}  // namespace platform
