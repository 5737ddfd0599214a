#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

namespace {

using TrayWindow = SavedStateTest;

RECT TrayArea() {
    RECT area = {};
    GetWindowRect(FindWindowW(nullptr, L"Wine System Tray"), &area);
    return area;
}

// Pixels of the icon's blue tile, as drawn in the Wine System Tray window at the top left.
int IconPixels() {
    return CountScreenPixels(TrayArea(), RGB(0x1D, 0x4E, 0xD8));
}

// Opens the popup menu as a right click on the icon does.
bool OpenPopupMenu(HWND tray) {
    PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    return WaitUntil([] { return VisiblePopupMenu() != nullptr; });
}

}  // namespace

TEST_F(TrayWindow, IconShowsItsTipComesBackWithTheTaskbarAndQuickClicksOpenOneDialog) {
    WatchkeepProcess running;
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    ASSERT_TRUE(WaitUntil([] { return IconPixels() > 20; }));

    // Hover the icon so Wine shows the tip, and keep the picture for a look.
    const RECT area = TrayArea();
    SetCursorPos(area.left + 12, area.bottom - 12);
    Sleep(1500);
    EXPECT_FALSE(SaveScreenshot(L"tray_icon_tip").empty());
    SetCursorPos(640, 700);

    // Remove the icon behind the program's back, then announce a new taskbar.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = tray;
    data.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(WaitUntil([] { return IconPixels() < 5; }, 3000));
    SendMessageW(tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([] { return IconPixels() > 20; }));

    // Left clicks in quick succession, before any dialog is up, open one main dialog.
    for (int i = 0; i < 4; ++i) {
        PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    EXPECT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) > 0; }));
    Sleep(1000);
    EXPECT_EQ(CountDialogs(kMainDialogCaption), 1u);
}

TEST_F(TrayWindow, PostUpdateBalloonShowsOnceAndItsClickDoesNothing) {
    const DWORD one = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateFinished", REG_DWORD, &one, sizeof(one)),
              ERROR_SUCCESS);
    WatchkeepProcess running;
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == EncodeDword(0).Bytes; }));
    // Wine draws the balloon about two seconds after it is asked for.
    Sleep(2500);
    SaveScreenshot(L"post_update_balloon");

    // Wine never reports balloon clicks itself: deliver the shell's codes by hand. Mouse moves and
    // other buttons do nothing either.
    for (const LPARAM code : {WM_MOUSEMOVE, WM_MBUTTONUP, NIN_BALLOONUSERCLICK}) {
        SendMessageW(tray, UWM_TRAY_CALLBACK, 0, code);
    }
    Sleep(1000);
    EXPECT_EQ(CountDialogs(kMainDialogCaption), 0u);
    // The flag is spent: the next click is one on an alert balloon and opens the main dialog.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) == 1; }));
}

TEST_F(TrayWindow, PopupMenuOpensAlertLogsAndExits) {
    WatchkeepProcess running;
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    // Every request opens another alert log window. Entries are picked by their mnemonics.
    for (size_t logs = 1; logs <= 2; ++logs) {
        ASSERT_TRUE(OpenPopupMenu(tray));
        if (logs == 1) {
            SaveScreenshot(L"tray_menu");
        }
        PostMessageW(tray, WM_CHAR, L'l', 0);
        EXPECT_TRUE(WaitUntil([logs] { return CountDialogs(kAlertLogCaption) == logs; }));
    }

    // A dismissed menu does nothing.
    ASSERT_TRUE(OpenPopupMenu(tray));
    PostMessageW(tray, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
    EXPECT_EQ(running.ExitCode(500), STILL_ACTIVE);
    EXPECT_EQ(CountDialogs(kAlertLogCaption) + CountDialogs(kMainDialogCaption), 2u);

    // Exit ends the program through its shutdown, which saves the settings.
    ASSERT_TRUE(OpenPopupMenu(tray));
    PostMessageW(tray, WM_CHAR, L'x', 0);
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_EQ(ReadSetting(L"PollIntervalMs"), EncodeDword(30000).Bytes);
}
