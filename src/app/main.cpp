#include <cstdio>
#include <string_view>

#include <QCoreApplication>
#include <QGuiApplication>

#include "platform/desktop_notification.h"
#include "platform/launcher_progress.h"
#include "platform/one_window.h"
#include "platform/power_off.h"
#include "platform/sleep_inhibitor.h"
#include "platform/win_app.h"
#include "text/message_catalogue.h"

namespace {

constexpr const char* kHelp = TranslatableText(
    "Usage: tessarel [FILE...]\n"
    "\n"
    "Opens the Tessarel window, a batch converter of video files (MPEG, AVI, QuickTime)\n"
    "into AVI files. Each FILE given joins the job list as if chosen with Browse;\n"
    "when the window is open already, it joins that window's list.\n"
    "tessarel-convert(1) does the same conversion from the command line.\n"
    "\n"
    "  -h, --help     print this help\n"
    "      --version  print the version\n");

}  // namespace

int main(int argc, char** argv) {
    (void)UseMessageLanguage(MessageLanguageOfEnvironment(), InstalledLocaleFolder());
    // These print and end before any window or display is needed.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument == "-h" || argument == "--help")
            return std::fputs(Translated(kHelp), stdout) < 0 ? 1 : 0;
        if (argument == "--version") return std::printf("tessarel %s\n", TESSAREL_FILE_VERSION) < 0 ? 1 : 0;
    }
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSAREL_FILE_VERSION));
    // The desktop matches the window to its entry (a Wayland application id, the task bar's icon).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(platform::kApplicationId));
    // Only the program itself may switch the computer off or talk to the desktop's services;
    // tests and tools keep the defaults, which refuse or do nothing.
    SetPowerOffHandler(platform::RequestLogindPowerOff);
    SetSleepInhibitorHandler(platform::InhibitSleepWithLogind);
    SetNotificationHandler(platform::SendFreedesktopNotification);
    SetLauncherProgressHandler(platform::SendUnityLauncherEntry);
    return AfxWinMain(argc, argv);
}
