#include <windows.h>

#include <gtest/gtest.h>

#include "settings/app_settings.h"
#include "support/test_support.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"

using BalloonFlush = RunningApplication;

TEST_F(BalloonFlush, GatheredAlertsShowWhenTheThrottleEndsWithoutAnotherAlert) {
    appSettings.AlertActions = kActionBalloon;
    appSettings.NotificationThrottleSec = 2;
    for (uint32_t pid = 1; pid <= 3; ++pid) {
        EXPECT_NE(app_->alertSink.OnAlert(MakeAlert(pid)), 0);
    }
    // The first shows at once; the other two wait for the throttle, then show with no fourth alert.
    const AlertNotificationState& notifications = app_->tray.notifications;
    ASSERT_TRUE(PumpUntil([&] { return notifications.PendingCount == 2; }));
    ASSERT_TRUE(PumpUntil([&] { return notifications.PendingCount == 0; }, 6000));
    PumpUntil([] { return false; }, 2500);  // Wine draws the balloon about 2 s later
    EXPECT_FALSE(SaveScreenshot(L"alert_balloon_flushed").empty());
}
