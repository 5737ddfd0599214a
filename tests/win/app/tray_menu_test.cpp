#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/resource_helpers_win.h"
#include "app/startup_win.h"
#include "app/tray_window_win.h"
#include "app/win_handles.h"
#include "monitor/monitor_engine.h"
#include "res/resource.h"
#include "support/trace_capture.h"
#include "win/support/test_paths.h"
#include "win/support/watchkeep_process.h"

namespace {

// The program's own resources, mapped as an image so menus, strings and icons load from it.
class TrayMenu : public ::testing::Test {
protected:
    void SetUp() override {
        image_.reset(LoadLibraryExW(BuildBinaryPath(L"watchkeep.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
        ASSERT_TRUE(image_);
        appInstance = image_.get();
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Watchkeep");
        DeleteFileW((WatchkeepDataFolder() + L"\\rules.csv").c_str());
    }
    UniqueHModule image_;
};

struct MenuStates {
    UINT pause = 0;
    UINT resume = 0;
};

// Opens the popup menu as a right click on the icon does, reads the two entries' states while it
// is up, and picks the entry with the given mnemonic.
MenuStates RightClickAndChoose(HWND tray, wchar_t letter) {
    MenuStates states;
    std::thread chooser([&] {
        HWND popup = nullptr;
        WaitUntil([&popup] { return (popup = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(popup); });
        if (auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0))) {
            states.pause = GetMenuState(menu, IDM_PAUSE_MONITORING, MF_BYCOMMAND);
            states.resume = GetMenuState(menu, IDM_RESUME_MONITORING, MF_BYCOMMAND);
        }
        PostMessageW(tray, WM_CHAR, letter, 0);
    });
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    chooser.join();
    return states;
}

}  // namespace

TEST_F(TrayMenu, PauseAndResumeGreyEachOtherAndSetTheEngineFlag) {
    ASSERT_TRUE(RegisterTrayWindowClass(appInstance));
    HWND tray = CreateWindowExW(0, kTrayClass, kTrayTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, appInstance, nullptr);
    ASSERT_NE(tray, nullptr);
    TraceCapture traces;
    monitorEngine.paused = false;

    MenuStates running = RightClickAndChoose(tray, L'p');
    EXPECT_EQ(running.pause & MF_GRAYED, 0u);
    EXPECT_NE(running.resume & MF_GRAYED, 0u);
    EXPECT_TRUE(monitorEngine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring paused"));

    MenuStates paused = RightClickAndChoose(tray, L'r');
    EXPECT_NE(paused.pause & MF_GRAYED, 0u);
    EXPECT_EQ(paused.resume & MF_GRAYED, 0u);
    EXPECT_FALSE(monitorEngine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring resumed"));

    DestroyWindow(tray);
}

TEST_F(TrayMenu, FilterStringsAndTheTrayTipComeFromTheStringTable) {
    const std::wstring filter = LoadFilterString(IDS_CSV_FILTER);
    EXPECT_EQ(filter, std::wstring(L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0\0\0", 47));
    EXPECT_EQ(LoadStringResource(IDS_TRAY_TIP), L"Watchkeep ");
    EXPECT_EQ(LoadStringResource(IDC_WATCHKEEP), L"WATCHKEEPW");
    EXPECT_EQ(LoadStringResource(IDS_VERSION_LINK_CHECK), L"Version %s. <a>Check for updates</a>");
    EXPECT_EQ(LoadStringResource(240), L"");
}
