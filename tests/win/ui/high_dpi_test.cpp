#include <gtest/gtest.h>

#include <vector>

#include "win/support/main_dialog_driver.h"

namespace {

constexpr wchar_t kDpiReadEvent[] = L"WatchkeepTestDpiRead";

bool Contains(const RECT& outer, const RECT& inner) {
    RECT both = {};
    return IntersectRect(&both, &outer, &inner) && EqualRect(&both, &inner);
}

bool IsClass(HWND control, const std::wstring& className, LONG styleMask = 0, LONG style = 0) {
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return name == className && (GetWindowLongW(control, GWL_STYLE) & styleMask) == style;
}

// Group boxes and the tab control hold the controls drawn on them.
bool IsContainer(HWND control) {
    return IsClass(control, WC_TABCONTROLW) || IsClass(control, L"Button", BS_TYPEMASK, BS_GROUPBOX);
}

// Every visible control lies inside the dialog's client area and overlaps no other one, unless
// a container holds it whole; the ids of the faulty ones.
std::wstring LayoutFaults(HWND dialog) {
    RECT client = {};
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        // The size grip sits in the corner over whatever reaches it, at every scale.
        const bool grip = IsClass(child, L"ScrollBar", SBS_SIZEGRIP, SBS_SIZEGRIP);
        if (IsWindowVisible(child) && !grip) shown.emplace_back(child, rect);
    }
    std::wstring faults;
    const auto id = [](HWND control) { return std::to_wstring(GetDlgCtrlID(control)); };
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto& [a, rectA] = shown[i];
        if (!Contains(client, rectA)) faults += L" outside:" + id(a);
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const auto& [b, rectB] = shown[j];
            RECT both = {};
            const bool held = (IsContainer(a) && Contains(rectA, rectB)) || (IsContainer(b) && Contains(rectB, rectA));
            if (IntersectRect(&both, &rectA, &rectB) && !held) faults += L" overlap:" + id(a) + L"/" + id(b);
        }
    }
    return faults;
}

class HighDpiTest : public MainDialogTest {
protected:
    void Check(HWND dialog, const std::wstring& name) const {
        EXPECT_EQ(LayoutFaults(dialog), L"") << name;
        SaveScreenshot(L"dpi144_" + name, dialog);
    }
    void ShowTab(int tab) const {
        TabCtrl_SetCurSel(Item(IDC_TABS), tab);
        NMHDR selected{Item(IDC_TABS), IDC_TABS, TCN_SELCHANGE};
        SendMessageW(dialog_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&selected));
    }
    void CheckOwned(WORD command, const std::wstring& name) {
        Command(command);
        HWND owned = OwnedDialog(dialog_);
        Check(owned, name);
        Close(owned, IDCANCEL);
    }
    static int Width(HWND window) {
        RECT rect = {};
        GetWindowRect(window, &rect);
        return rect.right - rect.left;
    }
};

}  // namespace

// Wine takes the screen's DPI from LogPixels when a process starts, so the dialogs run in a child
// started while it says 144; it is put back as soon as the child has read it.
TEST(HighDpi, EveryDialogFitsAt144DpiInAProcessStartedThere) {
    // At 144 DPI the main dialog is about 1000 pixels high and the alert log 1280 wide.
    if (GetSystemMetrics(SM_CXSCREEN) < 1600 || GetSystemMetrics(SM_CYSCREEN) < 1100) {
        GTEST_SKIP() << "needs a screen of 1600x1100 or more, as scripts/test.sh gives it";
    }
    const UniqueHandle dpiRead(CreateEventW(nullptr, TRUE, FALSE, kDpiReadEvent));
    UniqueHKey desktop;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_ALL_ACCESS, desktop.put()), 0);
    DWORD saved = 0, size = sizeof(saved), dpi = 144;
    const auto value = [](DWORD& number) { return reinterpret_cast<BYTE*>(&number); };
    const bool had = RegQueryValueExW(desktop.get(), L"LogPixels", nullptr, nullptr, value(saved), &size) == 0;
    RegSetValueExW(desktop.get(), L"LogPixels", 0, REG_DWORD, value(dpi), sizeof(dpi));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const UniqueHandle child =
        StartProcess(L"\"" + std::wstring(self) + L"\" --gtest_filter=HighDpiTest.EveryDialogFitsAt144Dpi");
    const HANDLE waits[] = {dpiRead.get(), child.get()};
    const DWORD first = child ? WaitForMultipleObjects(2, waits, FALSE, 60000) : WAIT_FAILED;
    had ? RegSetValueExW(desktop.get(), L"LogPixels", 0, REG_DWORD, value(saved), sizeof(saved))
        : RegDeleteValueW(desktop.get(), L"LogPixels");
    ASSERT_EQ(first, WAIT_OBJECT_0) << "the child did not run at 144 DPI";
    if (WaitForSingleObject(child.get(), 120000) != WAIT_OBJECT_0) TerminateProcess(child.get(), 1);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(child.get(), &code) && code == 0) << code;
}

TEST_F(HighDpiTest, EveryDialogFitsAt144Dpi) {
    if (GetDpiForSystem() != 144) GTEST_SKIP() << "runs in the 144-DPI process HighDpi.* starts";
    SetEvent(UniqueHandle(OpenEventW(EVENT_MODIFY_STATE, FALSE, kDpiReadEvent)).get());
    app_->Settings().PollIntervalMs = 300;  // the processes page lists what the engine's passes saw
    app_->Engine().Stop();
    app_->Engine().Start();
    Open();
    const wchar_t* const tabs[] = {L"main_recent_alerts", L"main_settings", L"main_processes"};
    for (int tab = 0; tab < 3; ++tab) {
        ShowTab(tab);
        Check(dialog_, tabs[tab]);
    }
    CheckOwned(IDM_HELP_ABOUT, L"about");
    CheckOwned(IDM_SETTINGS_EXCLUSIONS, L"exclusions");
    CheckOwned(IDM_RULES_ADD, L"rule_editor");
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Item(IDC_PROCESSES)) > 0; }));
    ListView_SetItemState(Item(IDC_PROCESSES), 0, LVIS_SELECTED, LVIS_SELECTED);
    CheckOwned(IDC_PROCESS_HISTORY, L"history");
    Command(IDM_MONITORING_VIEW_LOG);
    HWND log = WaitForDialog(kAlertLogCaption);
    Check(log, L"alert_log");
    Close(log, IDCANCEL);
}

// A move to a monitor of 1.5 times the scale: controls, fonts and columns grow with it, and the
// anchored layout follows instead of putting back the rectangles of the old scale.
TEST_F(HighDpiTest, DpiChangeRescalesTheMainDialog) {
    Open();
    const UINT dpi = GetDpiForWindow(dialog_) * 3 / 2;
    const HWND list = List(), import = Item(IDC_IMPORT_RULES);
    const int listWidth = Width(list), importWidth = Width(import), column = ListView_GetColumnWidth(list, 1);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    LOGFONTW before = {}, after = {};
    GetObjectW(font, sizeof(before), &before);
    RECT window = {};
    GetWindowRect(dialog_, &window);
    RECT suggested = {window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                      window.top + (window.bottom - window.top) * 3 / 2};
    SendMessageW(dialog_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    const auto grown = [](int now, int was) { return now * 10 >= was * 14 && now * 10 <= was * 16; };
    EXPECT_TRUE(grown(Width(list), listWidth)) << Width(list) << " " << listWidth;
    EXPECT_TRUE(grown(Width(import), importWidth)) << Width(import) << " " << importWidth;
    EXPECT_TRUE(grown(ListView_GetColumnWidth(list, 1), column));
    const auto newFont = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    EXPECT_NE(newFont, font);
    GetObjectW(newFont, sizeof(after), &after);
    EXPECT_TRUE(grown(-after.lfHeight, -before.lfHeight)) << after.lfHeight << " " << before.lfHeight;
    EXPECT_EQ(LayoutFaults(dialog_), L"");
    SaveScreenshot(L"dpi144_main_after_dpi_change", dialog_);
}
