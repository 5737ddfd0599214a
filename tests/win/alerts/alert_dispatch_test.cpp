#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "res/resource.h"
#include "settings/app_settings.h"
#include "support/test_support.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"

namespace {

// Runs this thread's queue, where the tray window lives, until done() holds.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// The application of this thread; each test logs to a file of its own.
class AlertDispatch : public RunningApplication {
protected:
    void SetUp() override {
        RunningApplication::SetUp();
        appSettings.LogFilePath.Set(log_);
        AlertHistoryLock()->Clear();
    }
    TestFolder folder_;
    const std::wstring log_ = folder_.Path(L"alerts.log");
};

// Wine's tray draws a balloon as a visible tooltip window (of its explorer process: this one has none).
bool BalloonVisible() {
    for (HWND tip = nullptr; (tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr));) {
        if (IsWindowVisible(tip)) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(AlertDispatch, AlertsPostedFromAnotherThreadAreDeliveredInOrderOnTheMainThread) {
    ASSERT_FALSE(BalloonVisible());
    appSettings.AlertActions = kActionBalloon | kActionLog | kActionSound;
    appSettings.NotificationThrottleSec = 1;
    // Wine plays nothing (no device) and returns at once even for a missing file: the sound is only taken as a path.
    appSettings.SoundFilePath.Set(L"C:\\watchkeep-missing\\alarm.wav");
    std::vector<AlertRecord> alerts;
    std::string expectedLog;
    for (uint32_t pid = 1; pid <= 40; ++pid) {
        alerts.push_back(MakeAlert(pid));
        expectedLog += FormatAlertLogLine(alerts.back());
    }
    const auto postFromMonitorThread = [this, &alerts](size_t from, size_t to) {
        std::thread([&] {
            for (size_t i = from; i < to; ++i) {
                EXPECT_NE(app_->alertSink.OnAlert(alerts[i]), 0);
            }
        }).join();
    };

    postFromMonitorThread(0, 20);
    EXPECT_TRUE(CopyAlertHistory().empty());  // nothing is delivered on the posting thread
    ASSERT_TRUE(PumpUntil([] { return CopyAlertHistory().size() == 20; }));
    // The first alert showed a balloon; the next, a second later, shows one for itself and the nineteen since.
    Sleep(1100);
    postFromMonitorThread(20, 40);
    ASSERT_TRUE(PumpUntil([] { return CopyAlertHistory().size() == 40; }));
    EXPECT_EQ(CopyAlertHistory(), alerts);
    EXPECT_EQ(TestFolder::Read(log_), expectedLog);

    EXPECT_TRUE(PumpUntil(BalloonVisible));
    Sleep(1000);  // let it finish drawing
    EXPECT_FALSE(SaveScreenshot(L"alert_balloon_gathered").empty());
}

TEST_F(AlertDispatch, ForeignAlertMessagesCarryNothingAndAFailedPostKeepsNothing) {
    appSettings.AlertActions = 0;
    // Any program may post UWM_ALERT with any lParam: only the sink's own queue is delivered.
    PostMessageW(Tray(), UWM_ALERT, 0, 0x1234);
    SendMessageW(Tray(), UWM_ALERT, 1, -1);
    EXPECT_TRUE(PumpUntil([] { return true; }));
    EXPECT_TRUE(CopyAlertHistory().empty());

    const AlertRecord record = MakeAlert(7);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    app_->alertSink.SetTarget(gone);
    EXPECT_EQ(app_->alertSink.OnAlert(record), 0);
    EXPECT_TRUE(app_->alertSink.TakeQueued().empty());

    app_->alertSink.SetTarget(Tray());
    EXPECT_NE(app_->alertSink.OnAlert(record), 0);
    ASSERT_TRUE(PumpUntil([] { return !CopyAlertHistory().empty(); }));
    EXPECT_EQ(CopyAlertHistory(), std::vector<AlertRecord>{record});
}
