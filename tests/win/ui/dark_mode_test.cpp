#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/debug_trace.h"
#include "ui/widgets/dark_mode_win.h"
#include "win/support/main_dialog_driver.h"

namespace {

class DarkModeTest : public MainDialogTest {
protected:
    void SetUp() override {
        SetDebugTraceHook([this](std::wstring_view text) {
            if (text.starts_with(L"DarkMode::Init")) {
                trace_ = text;
            }
        });
        InitDarkMode();
        SetDebugTraceHook({});
        std::printf("%ls\n", trace_.c_str());
        MainDialogTest::SetUp();
    }
    std::wstring trace_;
};

// Wine (prefix set to Windows 10) reports build 18362 and exports 49, 104 and 106 as unrelated
// functions, but none of 132, 133, 135 and 137: the unsupported path.
TEST_F(DarkModeTest, WineRunsTheUnsupportedPathAndEveryDialogOpensUnchanged) {
    EXPECT_EQ(DarkMode().windowsBuild, 18362u);
    EXPECT_FALSE(DarkMode().supported);
    EXPECT_FALSE(DarkMode().enabled);
    EXPECT_EQ(trace_.find(L" 132"), std::wstring::npos) << trace_;
    Open();
    EXPECT_EQ(GetWindowLongW(Item(IDC_TABS), GWL_STYLE) & TCS_OWNERDRAWFIXED, 0);
    EXPECT_TRUE(IsWindowVisible(Item(IDC_SIZE_GRIP)));
    EXPECT_EQ(ListView_GetBkColor(List()), GetSysColor(COLOR_WINDOW));
    {
        const ScopedGetDC dc(dialog_);
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            dialog_, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(dialog_)));
        LOGBRUSH logBrush = {};
        EXPECT_TRUE(!brush ||
                    (GetObjectW(brush, sizeof(logBrush), &logBrush) && logBrush.lbColor != kDarkBackgroundColor));
    }
    for (const int command : {IDM_HELP_ABOUT, IDM_SETTINGS_EXCLUSIONS, IDC_ADD_RULE}) {
        Command(static_cast<WORD>(command));
        HWND opened = WaitForWindow();
        ASSERT_NE(opened, nullptr) << command;
        Close(opened, IDCANCEL);
    }
}

}  // namespace
