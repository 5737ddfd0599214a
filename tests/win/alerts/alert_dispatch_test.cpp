#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "alerts/alert_dispatch.h"
#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "app/app_settings.h"
#include "app/file_io.h"
#include "app/tray_window_win.h"
#include "res/resource.h"
#include "rules/rule_store.h"
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

constexpr wchar_t kWindowClass[] = L"WatchkeepAlertTestWindow";
std::vector<DWORD> alertThreads;

// Handles UWM_ALERT as the tray window does.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == UWM_ALERT) {
        alertThreads.push_back(GetCurrentThreadId());
        HandleAlertMessage(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTestWindow() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, kWindowClass, L"Watchkeep", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

AlertRecord Alert(uint32_t pid, uint32_t ruleId = 0) {
    AlertRecord record;
    record.Time = {2024, 8, 0, 15, 9, 30, static_cast<uint16_t>(pid % 60), 0};
    record.PID = pid;
    record.Process = L"process-with-a-name-longer-than-small-strings-" + std::to_wstring(pid) + L".exe";
    record.RuleId = ruleId;
    record.Violation = L"Handles: " + std::to_wstring(6000 + pid) + L" > 5000";
    return record;
}

// Each test gets its own window, log file and settings; the history is emptied around it.
class AlertDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        logPath_ = std::wstring(temp) + L"watchkeep_alert_dispatch_" + std::to_wstring(GetCurrentProcessId()) + L".log";
        appSettings.LogFilePath.Set(logPath_);
        appSettings.SoundFilePath.Set(L"");
        ClearAlertHistory();
        window_ = CreateTestWindow();
        ASSERT_NE(window_, nullptr);
        trayWindow = window_;
        alertThreads.clear();
    }
    void TearDown() override {
        trayWindow = nullptr;
        if (window_) DestroyWindow(window_);
        ClearAlertHistory();
    }
    std::string LogBytes() const {
        std::string bytes;
        ReadFileBytes(logPath_, bytes);
        return bytes;
    }
    std::wstring logPath_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(AlertDispatch, AlertsFromAnotherThreadReachDeliveryOnTheMainThreadInOrder) {
    // Wine plays nothing (no device) and PlaySoundW returns at once even for a missing file.
    appSettings.AlertActions = kActionLog | kActionSound;
    appSettings.SoundFilePath.Set(L"C:\\watchkeep-missing\\alarm.wav");
    ThresholdRule quiet;
    quiet.RuleId = ruleStore.NewRuleId();
    quiet.ProcessPattern = L"*";
    quiet.AlertActions = 0;
    ruleStore.Add(quiet);

    constexpr uint32_t kAlerts = 60;
    std::atomic<int> failedPosts{0};
    std::thread monitor([&] {
        for (uint32_t pid = 1; pid <= kAlerts; ++pid) {
            if (guiAlertSink.OnAlert(Alert(pid, pid % 5 == 0 ? quiet.RuleId : 0)) == 0) ++failedPosts;
        }
    });
    monitor.join();
    EXPECT_EQ(failedPosts, 0);
    ASSERT_TRUE(PumpUntil([] { return CopyAlertHistory().size() == kAlerts; }, 10000));

    const std::vector<AlertRecord> history = CopyAlertHistory();
    std::string expectedLog;
    for (uint32_t pid = 1; pid <= kAlerts; ++pid) {
        EXPECT_EQ(history[pid - 1], Alert(pid, pid % 5 == 0 ? quiet.RuleId : 0));
        if (pid % 5 != 0) expectedLog += FormatAlertLogLine(Alert(pid));  // the quiet rule's mask is 0
    }
    EXPECT_EQ(LogBytes(), expectedLog);
    ASSERT_EQ(alertThreads.size(), kAlerts);
    for (const DWORD thread : alertThreads) EXPECT_EQ(thread, GetCurrentThreadId());

    // What the next start reads back.
    std::vector<AlertRecord> reread;
    ASSERT_TRUE(ReadAlertLogTail(logPath_, kAlertHistoryMax, reread));
    EXPECT_EQ(reread.size(), kAlerts - kAlerts / 5);
    EXPECT_EQ(reread.back().Violation, Alert(kAlerts - 1).Violation);
    ruleStore.Remove(quiet.RuleId);
}

TEST_F(AlertDispatch, AFailedPostFreesTheCopy) {
    appSettings.AlertActions = 0;
    const AlertRecord record = Alert(7);

    HWND gone = CreateTestWindow();
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    trayWindow = gone;
    long long before = liveAllocations;
    EXPECT_EQ(guiAlertSink.OnAlert(record), 0);
    EXPECT_EQ(liveAllocations, before);

    // A successful post keeps the copy alive until the handler has taken it.
    trayWindow = window_;
    before = liveAllocations;
    EXPECT_NE(guiAlertSink.OnAlert(record), 0);
    EXPECT_GT(liveAllocations, before);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, window_, UWM_ALERT, UWM_ALERT, PM_REMOVE));
    const auto* posted = reinterpret_cast<const AlertRecord*>(message.lParam);
    EXPECT_NE(posted, &record);
    EXPECT_EQ(*posted, record);
    DispatchMessageW(&message);
    EXPECT_EQ(CopyAlertHistory(), std::vector<AlertRecord>{record});

    HandleAlertMessage(0);
    EXPECT_EQ(CopyAlertHistory().size(), 1u);
}

namespace {

// Wine's tray draws a balloon as a visible tooltip window of its explorer process.
bool BalloonVisible() {
    bool found = false;
    EnumWindows(
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t className[64] = {};
            DWORD process = 0;
            GetClassNameW(window, className, 64);
            GetWindowThreadProcessId(window, &process);
            if (IsWindowVisible(window) && process != GetCurrentProcessId() &&
                lstrcmpiW(className, L"tooltips_class32") == 0) {
                *reinterpret_cast<bool*>(result) = true;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TEST_F(AlertDispatch, GatheredAlertsShowOneBalloonOnTheTrayIcon) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_;
    icon.uID = TRAY_ICON_ID;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = UWM_TRAY_CALLBACK;
    icon.hIcon = LoadIconW(nullptr, IDI_WARNING);
    lstrcpynW(icon.szTip, L"Watchkeep alert test", 64);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    appSettings.AlertActions = kActionBalloon | kActionLog;
    appSettings.NotificationThrottleSec = 1;
    ASSERT_FALSE(BalloonVisible());

    // The first alert shows at once; the next two within the second are gathered, and the
    // third of them, a second later, shows the balloon that counts and lists both.
    DeliverAlert(Alert(101));
    DeliverAlert(Alert(102));
    Sleep(1100);
    DeliverAlert(Alert(103));
    EXPECT_TRUE(PumpUntil(BalloonVisible, 8000));
    PumpUntil([] { return false; }, 1000);
    EXPECT_FALSE(SaveScreenshot(L"alert_balloon_gathered").empty());
    EXPECT_EQ(LogBytes(), FormatAlertLogLine(Alert(101)) + FormatAlertLogLine(Alert(102)) +
                              FormatAlertLogLine(Alert(103)));
    Shell_NotifyIconW(NIM_DELETE, &icon);
}
