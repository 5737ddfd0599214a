#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/resource_helpers_win.h"
#include "app/startup_win.h"
#include "app/tray_window_win.h"
#include "monitor/monitor_engine.h"
#include "res/resource.h"
#include "support/trace_capture.h"
#include "win/support/watchkeep_process.h"

namespace {

// The program's own resources, mapped as an image so menus, strings and icons load from it. The
// tray window saves settings and rules when it is destroyed.
class TrayMenu : public SavedStateTest {
protected:
    void SetUp() override {
        SavedStateTest::SetUp();
        image_.reset(LoadLibraryExW(BuildBinaryPath(L"watchkeep.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
        ASSERT_TRUE(image_);
        appInstance = image_.get();
    }
    UniqueHModule image_;
};

// Opens the popup menu as a right click on the icon does, reads whether Pause and Resume are
// grayed while it is up, and picks the entry with the given mnemonic.
std::pair<bool, bool> RightClickAndChoose(HWND tray, wchar_t letter) {
    std::pair<bool, bool> grayed;
    std::thread chooser([&] {
        HWND popup = nullptr;
        WaitUntil([&popup] { return (popup = VisiblePopupMenu()) != nullptr; });
        if (auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0))) {
            grayed = {(GetMenuState(menu, IDM_PAUSE_MONITORING, MF_BYCOMMAND) & MF_GRAYED) != 0,
                      (GetMenuState(menu, IDM_RESUME_MONITORING, MF_BYCOMMAND) & MF_GRAYED) != 0};
        }
        PostMessageW(tray, WM_CHAR, letter, 0);
    });
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    chooser.join();
    return grayed;
}

}  // namespace

TEST_F(TrayMenu, PauseAndResumeGreyEachOtherAndSetTheEngineFlag) {
    ASSERT_TRUE(RegisterTrayWindowClass(appInstance));
    HWND tray = CreateWindowExW(0, kTrayClass, kTrayTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, appInstance, nullptr);
    ASSERT_NE(tray, nullptr);
    TraceCapture traces;
    monitorEngine.paused = false;

    EXPECT_EQ(RightClickAndChoose(tray, L'p'), std::make_pair(false, true));
    EXPECT_TRUE(monitorEngine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring paused"));
    EXPECT_EQ(RightClickAndChoose(tray, L'r'), std::make_pair(true, false));
    EXPECT_FALSE(monitorEngine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring resumed"));

    DestroyWindow(tray);
    // Destruction ends the program's loop: take the quit message out of this thread's queue.
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(TrayMenu, FilterStringsAndTheTrayTipComeFromTheStringTable) {
    EXPECT_EQ(LoadFilterString(IDS_CSV_FILTER),
              std::wstring(L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0\0\0", 47));
    EXPECT_EQ(LoadStringResource(IDS_TRAY_TIP), L"Watchkeep ");
    EXPECT_EQ(LoadStringResource(240), L"");
}
