#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "base/file_io.h"
#include "res/resource.h"
#include "rules/rule_csv.h"
#include "support/test_support.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

namespace {

using Startup = SavedStateTest;
using TrayWindow = SavedStateTest;
using HostileDesktop = SavedStateTest;
using DamagedRules = SavedStateTest;

bool NamedEventExists() {
    return static_cast<bool>(UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\WatchkeepRunning")));
}

RECT TrayArea() {
    RECT area = {};
    GetWindowRect(FindWindowW(nullptr, L"Wine System Tray"), &area);
    return area;
}

// Pixels of the icon's blue tile, as drawn in the Wine System Tray window at the top left.
int IconPixels() {
    const RECT area = TrayArea();
    ScopedGetDC screen(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(screen.get(), x, y);
            count += pixel != CLR_INVALID && std::abs(GetRValue(pixel) - 0x1D) <= 40 &&
                     std::abs(GetGValue(pixel) - 0x4E) <= 40 && std::abs(GetBValue(pixel) - 0xD8) <= 40;
        }
    }
    return count;
}

bool OpenPopupMenu(HWND tray) {
    PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    return WaitUntil([] { return VisiblePopupMenu() != nullptr; });
}

// Instances in this prefix, counted from inside it (ps would also see other prefixes).
size_t CountInstances() {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        count += _wcsicmp(entry.szExeFile, L"watchkeep.exe") == 0 ? 1 : 0;
    }
    return count;
}

std::string Utf16LeWithMark(std::wstring_view text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace

TEST_F(Startup, TrayStartOpensNoDialogAndLaterStartsRaiseOneMainDialog) {
    WatchkeepProcess first;
    HWND tray = first.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(IsWindowVisible(tray));
    EXPECT_TRUE(NamedEventExists());
    Sleep(1000);
    EXPECT_EQ(CountDialogs(kMainDialogCaption), 0u);
    // Even with -tray, a second start hands over to the first and ends with 0; a third raises the
    // dialog the second opened.
    for (const wchar_t* arguments : {L"-tray", L""}) {
        EXPECT_EQ(WatchkeepProcess(arguments).ExitCode(), 0u);
        EXPECT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) == 1; }));
        Sleep(500);
        EXPECT_EQ(CountDialogs(kMainDialogCaption), 1u) << "after a start with '" << arguments << "'";
    }
}

TEST_F(Startup, TerminateAndBothSwitchesReturnOnlyAfterTheInstanceHasSaved) {
    for (const wchar_t* arguments : {L"-terminate", L"-tray -terminate"}) {
        RemoveSavedState();
        WatchkeepProcess running;
        ASSERT_NE(running.WaitForTray(), nullptr);
        ASSERT_FALSE(ReadSetting(L"PollIntervalMs"));
        ASSERT_EQ(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(WatchkeepProcess(arguments).ExitCode(), 0u);
        // Checked before waiting for the instance: the send returned after its shutdown ran.
        EXPECT_TRUE(ReadSetting(L"PollIntervalMs"));
        EXPECT_TRUE(ReadSetting(L"Exclusions"));
        EXPECT_NE(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(running.ExitCode(), 0u);
        EXPECT_FALSE(NamedEventExists());
    }
    // With nothing running it ends at once, and saves nothing.
    RemoveSavedState();
    EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(5000), 0u);
    EXPECT_FALSE(ReadSetting(L"PollIntervalMs"));
}

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

TEST_F(HostileDesktop, SimultaneousStartsLeaveOneInstance) {
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<WatchkeepProcess>> starts;
        for (int i = 0; i < 3; ++i) {
            starts.push_back(std::make_unique<WatchkeepProcess>(L"-tray"));
        }
        for (const auto& start : starts) {
            start->ExitCode(3000);
        }
        EXPECT_EQ(CountInstances(), 1u) << "round " << round;
        // -terminate returns once the instance has ended, main dialog and all.
        EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
        EXPECT_EQ(CountInstances(), 0u);
    }
}

// Each file is put in place, the real program starts on it and is ended with -terminate; what it
// could read is saved, and what it could not is kept (as rules.csv itself or as rules.csv.bak).
TEST_F(DamagedRules, AStartAndExitKeepWhatTheProgramCouldNotRead) {
    const ThresholdRule a{.RuleId = 1, .ProcessPattern = L"a.exe"};
    const ThresholdRule cafe{.RuleId = 2, .ProcessPattern = L"caf\u00e9.exe", .Enabled = false};
    const std::string good = FormatRulesCsv({a});
    const struct {
        const char* name;
        std::string bytes;
        bool locked;        // held open without sharing while the program starts
        std::string saved;  // the file after exit; empty when it must be left as it was
        bool backup;        // the file as it was is kept as rules.csv.bak
    } cases[] = {
        {"UTF-16 LE", Utf16LeWithMark(L"RuleId\r\n1,a.exe,1\r\n2,caf\u00e9.exe,0\r\n"), false,
         FormatRulesCsv({a, cafe}), false},
        {"CR only", "RuleId\r1,a.exe,1\r2,caf\xC3\xA9.exe,0\r", false, FormatRulesCsv({a, cafe}), false},
        {"NUL", good + "2,b" + std::string(1, '\0') + ".exe,1\r\n", false, good, true},
        {"locked", "RuleId\n1,a.exe,1\n", true, "", false},  // a read would rewrite it
    };
    const std::wstring path = GetRulesFilePath();
    const std::wstring backup = path + L".bak";
    ASSERT_EQ(path, WatchkeepFile(L"rules.csv"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(backup.c_str());
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, c.locked ? 0 : FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        if (!c.locked) {
            file.reset();
        }
        WatchkeepProcess running;
        ASSERT_NE(running.WaitForTray(), nullptr);
        file.reset();  // the load is done once the tray window exists
        EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
        EXPECT_EQ(running.ExitCode(), 0u);
        EXPECT_EQ(TestFolder::Read(path), c.saved.empty() ? c.bytes : c.saved);
        if (c.backup) {
            EXPECT_EQ(TestFolder::Read(backup), c.bytes);
        } else {
            EXPECT_EQ(GetFileAttributesW(backup.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
}
