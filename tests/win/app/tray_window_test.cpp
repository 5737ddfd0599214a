#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "alerts/alert_history.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "support/test_support.h"
#include "win/support/running_application.h"

namespace {

using TrayWindow = RunningApplication;

// A right click on the icon: whether Pause and Resume are grayed in its menu, then the entry picked.
std::pair<bool, bool> RightClickAndChoose(HWND tray, wchar_t letter) {
    std::pair<bool, bool> grayed;
    std::thread chooser([&] {
        WaitUntil([] { return VisiblePopupMenu() != nullptr; });
        const auto menu = reinterpret_cast<HMENU>(SendMessageW(VisiblePopupMenu(), MN_GETHMENU, 0, 0));
        grayed = {(GetMenuState(menu, IDM_PAUSE_MONITORING, MF_BYCOMMAND) & MF_GRAYED) != 0,
                  (GetMenuState(menu, IDM_RESUME_MONITORING, MF_BYCOMMAND) & MF_GRAYED) != 0};
        PostMessageW(tray, WM_CHAR, letter, 0);
    });
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    chooser.join();
    return grayed;
}

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

TEST_F(TrayWindow, MenuGreysPauseOrResumeOnlyTheSinksAlertsArriveAndGatheredOnesShowWhenTheThrottleEnds) {
    EXPECT_EQ(RightClickAndChoose(Tray(), L'p'), std::make_pair(false, true));
    EXPECT_EQ(RightClickAndChoose(Tray(), L'r'), std::make_pair(true, false));
    // The file dialogs' filter lists come from the string table as they need them.
    EXPECT_EQ(LoadFilterString(IDS_CSV_FILTER),
              std::wstring(L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0\0\0", 47));
    ASSERT_FALSE(BalloonVisible());
    AlertHistoryLock(app_->AlertHistory())->Clear();
    // Any program may post UWM_ALERT with any lParam: only the sink's own queue is delivered.
    PostMessageW(Tray(), UWM_ALERT, 0, 0x1234);
    SendMessageW(Tray(), UWM_ALERT, 1, -1);
    // A post that fails keeps nothing.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    app_->AlertSink().SetTarget(gone);
    EXPECT_EQ(app_->AlertSink().OnAlert(MakeAlert(7)), 0);
    size_t dropped = 0;
    EXPECT_TRUE(app_->AlertSink().TakeQueued(dropped).empty());
    app_->AlertSink().SetTarget(Tray());
    app_->Settings().AlertActions = kActionBalloon | kActionSound;
    // A flood fills the queue up to its bound and only counts the rest.
    std::thread([this] {
        for (size_t i = 0; i < GUIAlertSink::kMaxQueuedAlerts + 5; ++i) {
            app_->AlertSink().OnAlert(MakeAlert(9));
        }
    }).join();
    EXPECT_EQ(app_->AlertSink().TakeQueued(dropped).size(), GUIAlertSink::kMaxQueuedAlerts);
    EXPECT_EQ(dropped, 5u);
    app_->Settings().NotificationThrottleSec = 2;
    // Wine plays nothing (no device) and returns at once even for a missing file: the sound is only taken as a path.
    app_->Settings().SoundFilePath.Set(L"C:\\watchkeep-missing\\alarm.wav");
    std::vector<AlertRecord> alerts;
    for (uint32_t pid = 1; pid <= 40; ++pid) {
        alerts.push_back(MakeAlert(pid));
    }
    const auto postFromMonitorThread = [this, &alerts](size_t from, size_t to) {
        std::thread([&] {
            for (size_t i = from; i < to; ++i) {
                EXPECT_NE(app_->AlertSink().OnAlert(alerts[i]), 0);
            }
        }).join();
    };
    postFromMonitorThread(0, 20);
    EXPECT_TRUE(CopyAlertHistory(app_->AlertHistory()).empty());  // nothing is delivered on the posting thread
    ASSERT_TRUE(PumpUntil([this] { return CopyAlertHistory(app_->AlertHistory()).size() == 20; }));
    // The first showed a balloon at once; the other nineteen show when the throttle ends, with no further alert.
    EXPECT_EQ(app_->Alerts().PendingCount(), 19u);
    ASSERT_TRUE(PumpUntil([this] { return app_->Alerts().PendingCount() == 0; }, 6000));
    postFromMonitorThread(20, 40);
    ASSERT_TRUE(PumpUntil([this] { return CopyAlertHistory(app_->AlertHistory()).size() == 40; }));
    EXPECT_EQ(CopyAlertHistory(app_->AlertHistory()), alerts);
    EXPECT_TRUE(PumpUntil(BalloonVisible));
}
