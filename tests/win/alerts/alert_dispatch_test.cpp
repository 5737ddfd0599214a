#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <thread>
#include <vector>

#include "alerts/alert_dispatch.h"
#include "alerts/alert_history.h"
#include "app/app_settings.h"
#include "app/tray_window_win.h"
#include "res/resource.h"
#include "support/alert_test_support.h"
#include "support/test_folder.h"
#include "win/support/screenshot.h"

// Counts this thread's live allocations, so a test can see whether a heap copy was freed.
namespace {
thread_local long long liveAllocations = 0;
}

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++liveAllocations;
    return block;
}
void operator delete(void* block) noexcept {
    if (!block) return;
    --liveAllocations;
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace {

// Runs this thread's queue until done() holds, handing UWM_ALERT to its handler as the tray window does.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == UWM_ALERT) HandleAlertMessage(message.lParam);
            else DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

HWND CreateHiddenWindow() {
    return CreateWindowExW(0, L"STATIC", L"Watchkeep", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

// A hidden window of the test's (main) thread stands in for the tray window; each test logs to a file of its own.
class AlertDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateHiddenWindow();
        ASSERT_NE(window_, nullptr);
        trayWindow = window_;
        appSettings.LogFilePath.Set(log_);
        AlertHistoryLock()->Clear();
    }
    void TearDown() override {
        trayWindow = nullptr;
        DestroyWindow(window_);
        appSettings.LogFilePath.Set(L"");
    }
    TestFolder folder_;
    const std::wstring log_ = folder_.Path(L"alerts.log");
    HWND window_ = nullptr;
};

// Wine's tray draws a balloon as a visible tooltip window (of its explorer process: this one has none).
bool BalloonVisible() {
    for (HWND tip = nullptr; (tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr));) {
        if (IsWindowVisible(tip)) return true;
    }
    return false;
}

}  // namespace

TEST_F(AlertDispatch, AlertsPostedFromAnotherThreadAreDeliveredInOrderOnTheMainThread) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_;
    icon.uID = TRAY_ICON_ID;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconW(nullptr, IDI_WARNING);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
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
    const auto postFromMonitorThread = [&alerts](size_t from, size_t to) {
        std::thread([&] {
            for (size_t i = from; i < to; ++i) EXPECT_NE(guiAlertSink.OnAlert(alerts[i]), 0);
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
    Shell_NotifyIconW(NIM_DELETE, &icon);
}

TEST_F(AlertDispatch, AFailedPostFreesTheCopy) {
    appSettings.AlertActions = 0;
    const AlertRecord record = MakeAlert(7);
    HWND gone = CreateHiddenWindow();
    DestroyWindow(gone);
    trayWindow = gone;
    const long long before = liveAllocations;
    EXPECT_EQ(guiAlertSink.OnAlert(record), 0);
    EXPECT_EQ(liveAllocations, before);

    // The counter sees the copy: a successful post keeps it alive until the handler has taken it.
    trayWindow = window_;
    EXPECT_NE(guiAlertSink.OnAlert(record), 0);
    EXPECT_GT(liveAllocations, before);
    ASSERT_TRUE(PumpUntil([] { return !CopyAlertHistory().empty(); }));
    HandleAlertMessage(0);  // a null record does nothing
    EXPECT_EQ(CopyAlertHistory(), std::vector<AlertRecord>{record});
}
