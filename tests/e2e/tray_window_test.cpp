#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "app/win_handles.h"
#include "res/resource.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Watchkeep";
// The icon's blue tile, as drawn in the Wine System Tray window at the top left.
constexpr COLORREF kIconBlue = RGB(0x1D, 0x4E, 0xD8);

class TrayWindow : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }
};

HWND WineSystemTray() { return FindWindowW(nullptr, L"Wine System Tray"); }

RECT TrayArea() {
    RECT area = {0, 0, 200, 80};
    if (HWND shell = WineSystemTray()) GetWindowRect(shell, &area);
    return area;
}

HWND OpenPopupMenu(HWND tray) {
    PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    WaitUntil([&menu] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); });
    return menu;
}

// Picks a menu entry by its mnemonic, as a user typing the underlined letter would.
void ChooseByMnemonic(HWND tray, wchar_t letter) { PostMessageW(tray, WM_CHAR, letter, 0); }

DWORD ReadDword(const wchar_t* name, DWORD fallback) {
    DWORD value = fallback;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

}  // namespace

TEST_F(TrayWindow, IconShowsItsTipAndComesBackWhenTheTaskbarIsCreatedAgain) {
    WatchkeepProcess running(L"-tray");
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    ASSERT_TRUE(WaitUntil([] { return CountScreenPixels(TrayArea(), kIconBlue) > 20; }));

    // Hover the icon so Wine shows the tip, and keep the picture for a look.
    const RECT area = TrayArea();
    SetCursorPos(area.left + 12, area.bottom - 12);
    Sleep(1500);
    EXPECT_FALSE(SaveScreenshot(L"h4_tray_icon_tip").empty());
    SetCursorPos(640, 700);

    // Remove the icon behind the program's back, then announce a new taskbar.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = tray;
    data.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(WaitUntil([] { return CountScreenPixels(TrayArea(), kIconBlue) < 5; }, 3000));
    SendMessageW(tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([] { return CountScreenPixels(TrayArea(), kIconBlue) > 20; }));
}

TEST_F(TrayWindow, PostUpdateBalloonShowsOnceAndItsClickDoesNothing) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(key, L"UpdateFinished", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);

    WatchkeepProcess running(L"-tray");
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(WaitUntil([] { return ReadDword(L"UpdateFinished", 1) == 0; }));
    // Wine draws the balloon about two seconds after it is asked for.
    Sleep(2500);
    SaveScreenshot(L"h4_post_update_balloon");

    // Wine never reports balloon clicks itself; deliver the shell's notification by hand.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    Sleep(1000);
    EXPECT_TRUE(FindDialogs(kMainDialogCaption).empty());
    // The flag is spent: the next click is one on an alert balloon and opens the main dialog.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(WaitUntil([] { return FindDialogs(kMainDialogCaption).size() == 1; }));
    // A hidden balloon clears both flags; a click afterwards raises the one open dialog.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONTIMEOUT);
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    Sleep(500);
    EXPECT_EQ(FindDialogs(kMainDialogCaption).size(), 1u);
}

TEST_F(TrayWindow, QuickRequestsOpenOnlyOneMainDialog) {
    WatchkeepProcess running(L"-tray");
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    for (int i = 0; i < 4; ++i) {
        PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    EXPECT_TRUE(WaitUntil([] { return !FindDialogs(kMainDialogCaption).empty(); }));
    Sleep(1000);
    EXPECT_EQ(FindDialogs(kMainDialogCaption).size(), 1u);
    // Mouse moves and other buttons do nothing.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_MOUSEMOVE);
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_MBUTTONUP);
    EXPECT_EQ(FindDialogs(kMainDialogCaption).size(), 1u);
}

TEST_F(TrayWindow, PopupMenuOpensAlertLogsAndExits) {
    WatchkeepProcess running(L"-tray");
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);

    ASSERT_NE(OpenPopupMenu(tray), nullptr);
    SaveScreenshot(L"h4_tray_menu");
    ChooseByMnemonic(tray, L'l');
    EXPECT_TRUE(WaitUntil([] { return FindDialogs(kAlertLogCaption).size() == 1; }));
    // Every request opens another alert log window.
    ASSERT_NE(OpenPopupMenu(tray), nullptr);
    ChooseByMnemonic(tray, L'l');
    EXPECT_TRUE(WaitUntil([] { return FindDialogs(kAlertLogCaption).size() == 2; }));

    // A dismissed menu does nothing.
    ASSERT_NE(OpenPopupMenu(tray), nullptr);
    PostMessageW(tray, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([] { return FindWindowW(L"#32768", nullptr) == nullptr ||
                                      !IsWindowVisible(FindWindowW(L"#32768", nullptr)); }));
    EXPECT_EQ(WaitForSingleObject(running.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_NE(OpenPopupMenu(tray), nullptr);
    ChooseByMnemonic(tray, L'x');
    EXPECT_EQ(WaitForExit(running.get()), 0u);
    EXPECT_EQ(ReadDword(L"PollIntervalMs", 0), 30000u);
}
