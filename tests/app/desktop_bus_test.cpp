// The desktop's services as the program sends them, to stand-ins on the test's private buses:
// logind's sleep inhibitor, a notification, the launcher entry's progress.

#include <QStringList>

#include <gtest/gtest.h>

#include "platform/desktop_notification.h"
#include "platform/launcher_progress.h"
#include "platform/sleep_inhibitor.h"
#include "private_bus.h"

namespace {

TEST(DesktopBus, TheInhibitorHoldsUntilItGoesEvenWhenItGoesBeforeLogindAnswers) {
    DesktopServicesStandIn services;
    ASSERT_TRUE(services.Serving()) << "dbus-daemon is needed (scripts/install-deps.sh)";

    auto held = platform::InhibitSleepWithLogind("正壓縮到輸出檔案...");
    ASSERT_TRUE(services.WaitUntil([&] { return services.HeldInhibitions() == 1; }));
    EXPECT_EQ(services.CallsTo("Inhibit"), QStringList{"sleep:idle|Tessarel|正壓縮到輸出檔案...|block"});
    held.reset();
    EXPECT_TRUE(services.WaitUntil([&] { return services.HeldInhibitions() == 0; }));

    // Let go at once: the answer comes later, and its lock is closed as it comes.
    platform::InhibitSleepWithLogind("").reset();
    ASSERT_TRUE(services.WaitUntil([&] { return services.CallsTo("Inhibit").size() == 2; }));
    ServeEventsFor(300);
    EXPECT_EQ(services.HeldInhibitions(), 0);
}

TEST(DesktopBus, ANotificationAndTheLauncherEntryReachTheSessionBus) {
    DesktopServicesStandIn services;
    ASSERT_TRUE(services.Serving()) << "dbus-daemon is needed (scripts/install-deps.sh)";

    platform::SendFreedesktopNotification("Tessarel", "壓縮完成.");
    platform::SendUnityLauncherEntry({true, 0.25, 3});
    platform::SendUnityLauncherEntry({});
    ASSERT_TRUE(services.WaitUntil(
        [&] { return services.CallsTo("Notify").size() == 1 && services.LauncherUpdates().size() == 2; }));

    EXPECT_EQ(services.CallsTo("Notify")[0], "Tessarel|0|tessarel|Tessarel|壓縮完成.||-1");
    const auto& shown = services.LauncherUpdates()[0];
    EXPECT_EQ(shown.application, "application://org.tessarel.Tessarel.desktop");
    EXPECT_TRUE(shown.progressVisible && shown.countVisible);
    EXPECT_DOUBLE_EQ(shown.progress, 0.25);
    EXPECT_EQ(shown.count, 3);
    EXPECT_FALSE(services.LauncherUpdates()[1].progressVisible || services.LauncherUpdates()[1].countVisible);
}

}  // namespace
