#include <gtest/gtest.h>

#include "support/test_support.h"
#include "win/support/main_dialog_driver.h"

namespace {

bool RulesFileHas(const std::string& text) {
    return TestFolder::Read(WatchkeepFile(L"rules.csv")).find(text) != std::string::npos;
}

SIZE WindowSize(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// The first of three rules has limits the editor shows rounded or cut, and action bit 8 it shows alone.
const ThresholdRule kOdd{1, L"odd.exe", true, 0, 1023, 524288, 95.5, 0, 0, 0, kActionSound | 8, 60, 7};

class RulesListTest : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        app_->Rules().AddNewRules({kOdd, {.ProcessPattern = L"b.exe"}, {.ProcessPattern = L"c.exe"}});
        Open();
    }
};

}  // namespace

TEST_F(RulesListTest, TheEditorOpensOnEnterKeepsWhatWasNotChangedAndRefusesABlankPattern) {
    EXPECT_EQ(RowText(0), L"Yes|odd.exe|-|0|0|96|-|-|-");
    Select(0);
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 0);
    Close(OwnedDialog(dialog_), IDOK);
    ASSERT_TRUE(WaitUntil([] { return RulesFileHas("odd.exe"); }));
    EXPECT_EQ(app_->Rules().FindById(1), kOdd);
    // "0" over the 0.5 MB shown as 0 lowers the limit; a blank pattern keeps the editor open.
    Select(0);
    Command(IDM_RULES_EDIT);
    HWND editor = OwnedDialog(dialog_);
    SetDlgItemTextW(editor, IDC_RULE_MAX_PRIVATE_BYTES, L"0");
    SetDlgItemTextW(editor, IDC_RULE_PATTERN, L" ");
    PostMessageW(editor, WM_COMMAND, IDOK, 0);
    AnswerMessageBox(editor, IDOK);
    SetDlgItemTextW(editor, IDC_RULE_PATTERN, L"odd.exe");
    Close(editor, IDOK);
    EXPECT_TRUE(RulesFileHas("1,odd.exe,1,0,0.0,0.0,95.5,"));
}

TEST_F(RulesListTest, AddOpensTheEditorWithDefaultsADoubleClickBelowTheRowsTooAndDeleteRemoves) {
    Command(IDM_RULES_ADD);
    HWND editor = OwnedDialog(dialog_);
    SetDlgItemTextW(editor, IDC_RULE_PATTERN, L"new.exe");
    SetDlgItemTextW(editor, IDC_RULE_MAX_CPU, L"12.5abc");
    SetDlgItemTextW(editor, IDC_RULE_MAX_HANDLES, L"700");
    SetDlgItemTextW(editor, IDC_RULE_SUSTAIN, L"45");
    CheckDlgButton(editor, IDC_RULE_NOTIFY_BACK_UNDER, BST_CHECKED);
    Close(editor, IDOK);
    EXPECT_TRUE(RulesFileHas("\n4,new.exe,1,700,0.0,0.0,12.5,0,0,0,11,60,45\r\n"));
    // Cancelled, the added rule still uses up an id.
    RECT client = {};
    GetClientRect(List(), &client);
    PostMessageW(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, client.bottom - 5));
    Close(OwnedDialog(dialog_), IDCANCEL);
    EXPECT_EQ(app_->Rules().NewRuleId(), 6u);
    Select(1);
    PostMessageW(List(), WM_KEYDOWN, VK_DELETE, 0);
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 3; }));
    EXPECT_EQ(Cell(0, 1) + Cell(1, 1) + Cell(2, 1), L"odd.exec.exenew.exe");
    EXPECT_FALSE(RulesFileHas("b.exe"));
}

TEST_F(RulesListTest, CellsEditInPlaceAndEnterOrLeavingKeepsEscapeOrABlankPatternDoesNotAndEnabledToggles) {
    Select(0);
    PostMessageW(List(), WM_KEYDOWN, VK_F2, 0);
    HWND cell = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (cell = FindWindowExW(List(), nullptr, L"Edit", nullptr)) != nullptr; }));
    EXPECT_EQ(GetWindowTextLengthW(cell), 7);  // the pattern, "odd.exe"
    SaveScreenshot(L"cell_edit", dialog_);
    SendMessageW(cell, WM_KEYDOWN, VK_ESCAPE, 0);
    // Column, text, the key or WM_KILLFOCUS that ends the edit, and the cell shown after it.
    const std::tuple<int, const wchar_t*, UINT, const wchar_t*> edits[] = {
        {2, L"abc", VK_RETURN, L"-"},          {3, L"2048", VK_RETURN, L"2048"},
        {1, L"zz.exe", VK_ESCAPE, L"odd.exe"}, {1, L"typed.exe", WM_KILLFOCUS, L"typed.exe"},
        {5, L"12.5", VK_RETURN, L"12"},        {1, L"  ", VK_RETURN, L"typed.exe"},
    };
    for (const auto& [column, text, end, after] : edits) {
        const std::wstring shown = Cell(0, column);
        DoubleClickCell(0, column);
        HWND field = FindWindowExW(List(), nullptr, L"Edit", nullptr);
        ASSERT_TRUE(field);
        EXPECT_EQ(GetWindowTextLengthW(field), shown == L"-" ? 0 : static_cast<int>(shown.size()));  // "-" starts empty
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(field, end == WM_KILLFOCUS ? WM_KILLFOCUS : WM_KEYDOWN, end, 0);
        ASSERT_TRUE(WaitUntil([field] { return !IsWindow(field); }));
        EXPECT_EQ(Cell(0, column), after) << text;
    }
    EXPECT_TRUE(RulesFileHas("1,typed.exe,1,0,2048.0,0.5,12.5,"));
    for (const wchar_t* enabled : {L"No", L"Yes"}) {
        DoubleClickCell(0, 0);
        EXPECT_EQ(Cell(0, 0), enabled);
        EXPECT_TRUE(RulesFileHas(enabled[0] == L'Y' ? "typed.exe,1," : "typed.exe,0,"));
    }
}

TEST_F(RulesListTest, ResetAsksFirstAndOnYesRemovesEveryRuleButKeepsCountingIds) {
    for (const auto& [button, rowsAfter] : {std::pair{IDNO, 3}, std::pair{IDYES, 0}}) {
        Command(IDM_RULES_RESET);
        EXPECT_EQ(AnswerMessageBox(dialog_, button), L"Remove all monitoring rules? This cannot be undone.");
        ASSERT_TRUE(WaitUntil([&] { return Rows() == rowsAfter; }));
    }
    ASSERT_TRUE(WaitUntil([] { return !RulesFileHas("odd.exe"); }));
    EXPECT_EQ(app_->Rules().NewRuleId(), 4u);
}

// The menu in its order (core tests hold each preset's rules); the browsers add three, Escape none.
TEST_F(MainDialogTest, ThePresetsMenuAddsEachInOrderExportWritesThemAndAFailedSaveSaysSo) {
    Open();
    std::wstring added;
    for (int downs = 0; downs <= 6; ++downs) {
        Click(IDC_PRESETS);
        ChooseFromMenu(downs);
        ASSERT_TRUE(WaitUntil([&] { return Rows() == (downs ? downs + 2 : 0); }));
        added += downs ? RowText(downs + 1) + L"\n" : L"";
    }
    EXPECT_EQ(added,
              L"Yes|msedge.exe|5000|4096|4096|-|-|-|-\nYes|*|-|-|-|95|-|-|-\nYes|*|20000|-|-|-|-|-|-\n"
              L"Yes|*|-|4096|4096|-|-|-|-\nYes|*|-|-|-|-|-|8000|-\nYes|*|-|-|-|-|500|-|-\n");
    TestFolder folder;
    PickFile(IDM_FILE_EXPORT, folder.Path(L"out"));
    EXPECT_EQ(AnswerMessageBox(dialog_, IDOK), L"Rules exported successfully.");
    EXPECT_NE(TestFolder::Read(folder.Path(L"out.json")).find("\"msedge.exe\""), std::string::npos);
    // A save that fails says so from the dialog and keeps the change in the list.
    const std::wstring path = WatchkeepFile(L"rules.csv");
    ASSERT_TRUE(DeleteFileW(path.c_str()) && CreateDirectoryW(path.c_str(), nullptr));
    Click(IDC_PRESETS);
    ChooseFromMenu(1);
    EXPECT_EQ(AnswerMessageBox(dialog_, IDOK), L"The rules could not be saved to " + path +
                                                   L". The change is kept and will be saved with the next one.");
    EXPECT_EQ(Rows(), 11);
    EXPECT_TRUE(RemoveDirectoryW(path.c_str()));
}

// The removal comes from the menu, which takes no focus from the cell.
TEST_F(RulesListTest, AnOpenCellNeverLandsOnAnotherRuleAndClosingTheDialogKeepsIt) {
    const std::wstring next = Cell(1, 1);
    Select(0);
    DoubleClickCell(0, 1);
    HWND open = FindWindowExW(List(), nullptr, L"Edit", nullptr);
    SetWindowTextW(open, L"moved.exe");
    Command(IDM_RULES_REMOVE);
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 2; }));
    SendMessageW(open, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(WaitUntil([&] { return Cell(0, 1) != next || RulesFileHas("moved.exe"); }, 1000));
    // Closing the dialog while a cell is being edited keeps what was typed.
    DoubleClickCell(1, 1);
    SetWindowTextW(FindWindowExW(List(), nullptr, L"Edit", nullptr), L"last.exe");
    Close(dialog_, IDCANCEL);
    EXPECT_TRUE(RulesFileHas(",last.exe,"));
}

TEST_F(MainDialogTest, APlacementIsRestoredOnAMonitorCentredOffThemAndEnterInTheListPressesOkWhichSavesIt) {
    for (const PlacementRect stored : {PlacementRect{40, 30, 1040, 730}, PlacementRect{-9000, -9000, -8000, -8000}}) {
        Close(dialog_, IDCANCEL);  // the first time, none is open
        app_->Settings().MainDialogPlacement.Set(stored);
        Open();
        EXPECT_EQ(WindowSize(dialog_).cx == 1000, stored.Left == 40);
    }
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitUntil([this] { return app_->MainDialogWindow() == nullptr; }));
    EXPECT_EQ(ReadSetting(L"MainDialogPlacement").value_or(std::vector<BYTE>()).size(), 16u);
}

TEST_F(MainDialogTest, UnderWineTheSystemLookStaysAndAResizeMovesOkAndStopsAtTheTemplateSize) {
    Open();
    // Wine (prefix set to Windows 10) reports build 18362 but lacks the uxtheme entries dark mode
    // needs: the dialog keeps the system's look.
    EXPECT_EQ(std::pair(DarkMode().windowsBuild, DarkMode().supported), std::pair(18362u, false));
    EXPECT_EQ(GetWindowLongW(Item(IDC_TABS), GWL_STYLE) & TCS_OWNERDRAWFIXED, 0);
    EXPECT_TRUE(IsWindowVisible(Item(IDC_SIZE_GRIP)));
    EXPECT_EQ(ListView_GetBkColor(List()), GetSysColor(COLOR_WINDOW));
    LOGBRUSH brush = {};
    GetObjectW(reinterpret_cast<HBRUSH>(SendMessageW(dialog_, WM_CTLCOLORDLG, 0, 0)), sizeof(brush), &brush);
    EXPECT_NE(brush.lbColor, kDarkBackgroundColor);
    const SIZE initial = WindowSize(dialog_);
    const SIZE list = WindowSize(List());
    POINT ok = {};
    MapWindowPoints(Item(IDOK), dialog_, &ok, 1);
    SetWindowPos(dialog_, nullptr, 0, 0, initial.cx + 200, initial.cy + 100, SWP_NOZORDER | SWP_NOMOVE);
    // The list only widens; OK follows the corner.
    EXPECT_EQ(WindowSize(List()).cx - list.cx + WindowSize(List()).cy - list.cy, 200);
    POINT movedOk = {};
    MapWindowPoints(Item(IDOK), dialog_, &movedOk, 1);
    EXPECT_EQ(movedOk.x - ok.x + movedOk.y - ok.y, 300);
    SetWindowPos(dialog_, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(WindowSize(dialog_).cx, initial.cx);
    EXPECT_EQ(WindowSize(dialog_).cy, initial.cy + GetSystemMetrics(SM_CYMENU));
}

TEST_F(MainDialogTest, SettingsAndMonitoringCommandsSaveAndShowInTheMenuAndResetAsksFirst) {
    Open();
    // A profile may have no Run key yet: Start with Windows makes it.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    for (WORD command :
         {IDM_MONITORING_PAUSE, IDM_SETTINGS_PLAY_SOUND, IDM_SETTINGS_START_WITH_WINDOWS, IDM_UPDATE_WEEKLY}) {
        Command(command);
    }
    ASSERT_TRUE(WaitUntil([this] { return app_->Settings().UpdateCheckIntervalHours == 168; }));
    EXPECT_TRUE(app_->Engine().paused && IsStartWithWindowsEnabled());
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_PLAY_SOUND), BST_CHECKED);
    EXPECT_EQ(ReadSetting(L"AlertActions"), EncodeDword(kActionBalloon | kActionLog | kActionSound).Bytes);
    // The timer belongs to the tray thread: the dialog asks for it by a message.
    MSG rearm;
    EXPECT_TRUE(PeekMessageW(&rearm, Tray(), UWM_REARM_UPDATE_CHECK, UWM_REARM_UPDATE_CHECK, PM_REMOVE));
    HMENU menu = GetMenu(dialog_);
    SendMessageW(dialog_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(menu, 3)), 3);
    for (const auto& [item, state] : {std::pair{IDM_MONITORING_PAUSE, MF_GRAYED},
                                      {IDM_MONITORING_RESUME, 0L},
                                      {IDM_SETTINGS_PLAY_SOUND, MF_CHECKED},
                                      {IDM_UPDATE_WEEKLY, MF_CHECKED}}) {
        EXPECT_EQ(GetMenuState(menu, item, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), state) << item;
    }
    Command(IDM_SETTINGS_RESET);
    EXPECT_EQ(AnswerMessageBox(dialog_, IDYES), L"Reset all settings to defaults? This cannot be undone.");
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_PLAY_SOUND), BST_UNCHECKED);
}
