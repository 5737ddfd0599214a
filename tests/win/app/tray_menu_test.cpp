#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "support/test_support.h"
#include "win/support/running_application.h"

namespace {

using TrayMenu = RunningApplication;

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

// The file dialogs' filter lists and a missing string come from the string table as they need them.
TEST_F(TrayMenu, PauseAndResumeGreyEachOtherAndStringTableEntriesLoad) {
    TraceCapture traces;
    EXPECT_EQ(RightClickAndChoose(Tray(), L'p'), std::make_pair(false, true));
    EXPECT_TRUE(app_->engine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring paused"));
    EXPECT_EQ(RightClickAndChoose(Tray(), L'r'), std::make_pair(true, false));
    EXPECT_FALSE(app_->engine.paused);
    EXPECT_TRUE(traces.Contains(L"Monitoring resumed"));

    EXPECT_EQ(LoadFilterString(IDS_CSV_FILTER),
              std::wstring(L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0\0\0", 47));
    EXPECT_EQ(LoadStringResource(240), L"");
}
