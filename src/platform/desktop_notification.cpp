#include "platform/desktop_notification.h"

#include <utility>

namespace {

NotificationHandler& InstalledHandler() {
    static NotificationHandler handler;
    return handler;
}

}  // namespace

void ShowDesktopNotification(const std::string& summary, const std::string& body) {
    if (const NotificationHandler& handler = InstalledHandler()) handler(summary, body);
}

NotificationHandler SetNotificationHandler(NotificationHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}
