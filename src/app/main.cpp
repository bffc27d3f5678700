#include <QCoreApplication>

#include "platform/desktop_notification.h"
#include "platform/launcher_progress.h"
#include "platform/power_off.h"
#include "platform/sleep_inhibitor.h"
#include "platform/win_app.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSAREL_FILE_VERSION));
    // Only the program itself may switch the computer off or talk to the desktop's services;
    // tests and tools keep the defaults, which refuse or do nothing.
    SetPowerOffHandler(platform::RequestLogindPowerOff);
    SetSleepInhibitorHandler(platform::InhibitSleepWithLogind);
    SetNotificationHandler(platform::SendFreedesktopNotification);
    SetLauncherProgressHandler(platform::SendUnityLauncherEntry);
    return AfxWinMain(argc, argv);
}
