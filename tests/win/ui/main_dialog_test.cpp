#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "settings/app_settings.h"
#include "settings/settings_codec.h"
#include "support/test_folder.h"
#include "win/support/main_dialog_driver.h"

namespace {

constexpr wchar_t kEditorCaption[] = L"Edit Threshold Rule";

std::string RulesFile() {
    std::string bytes;
    ReadFileBytes(WatchkeepFile(L"rules.csv"), bytes);
    return bytes;
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

}  // namespace

TEST_F(MainDialogTest, RuleCommandsChangeTheListAndTheRulesFile) {
    // Limits the editor shows rounded or cut, and a sound-only action mask: OK without a change
    // must keep all of them exactly.
    const ThresholdRule odd{.RuleId = 0,
                            .ProcessPattern = L"odd.exe",
                            .MaxWorkingSetBytes = 1023,
                            .MaxPrivateBytes = 524288,
                            .MaxCPU = 95.5,
                            .AlertActions = kActionSound};
    app_->rules.AddNewRules(
        {odd, {.RuleId = 0, .ProcessPattern = L"b.exe"}, {.RuleId = 0, .ProcessPattern = L"c.exe"}});
    Open();
    EXPECT_EQ(RowText(0), L"Yes|odd.exe|-|0|0|96|-|-|-");

    Select(0);
    Click(IDC_EDIT_RULE);
    PostMessageW(WaitForWindow(kEditorCaption), WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return RulesFile().find("odd.exe") != std::string::npos; }));
    ThresholdRule kept = odd;
    kept.RuleId = 1;
    EXPECT_EQ(app_->rules.FindById(1), kept);

    // Add: a cancelled editor still uses up an id; the editor opens with the defaults.
    Click(IDC_ADD_RULE);
    HWND editor = WaitForWindow(kEditorCaption);
    EXPECT_EQ(IsDlgButtonChecked(editor, IDC_RULE_ENABLED), BST_CHECKED);
    EXPECT_EQ(GetDlgItemInt(editor, IDC_RULE_COOLDOWN, nullptr, FALSE), 60u);
    Screenshot(L"rule_editor", editor);
    PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([editor] { return !IsWindow(editor); }));
    Command(IDM_RULES_ADD);
    editor = WaitForWindow(kEditorCaption);
    SetDlgItemTextW(editor, IDC_RULE_PATTERN, L"new.exe");
    SetDlgItemTextW(editor, IDC_RULE_MAX_CPU, L"12.5abc");
    SetDlgItemTextW(editor, IDC_RULE_MAX_HANDLES, L"700");
    PostMessageW(editor, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 4; }));
    EXPECT_EQ(RowText(3), L"Yes|new.exe|700|-|-|12|-|-|-");
    EXPECT_EQ(app_->rules.FindById(5)->MaxCPU, 12.5);
    EXPECT_NE(RulesFile().find("5,new.exe,1,700,"), std::string::npos);

    // Remove takes the selected row only.
    Select(1);
    Click(IDC_REMOVE_RULE);
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 3; }));
    EXPECT_EQ(Cell(0, 1) + Cell(1, 1) + Cell(2, 1), L"odd.exec.exenew.exe");
    EXPECT_EQ(RulesFile().find("b.exe"), std::string::npos);

    struct Reset {
        int button;
        int rowsAfter;
    };
    for (const Reset reset : {Reset{IDNO, 3}, Reset{IDYES, 0}}) {
        Command(IDM_RULES_RESET);
        EXPECT_EQ(AnswerMessageBox(reset.button), L"Remove all monitoring rules? This cannot be undone.");
        ASSERT_TRUE(WaitUntil([&] { return Rows() == reset.rowsAfter; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return RulesFile().find("new.exe") == std::string::npos; }));
    EXPECT_EQ(app_->rules.NewRuleId(), 6u);

    // A save that fails says so from the dialog and keeps the change in the list.
    const std::wstring path = WatchkeepFile(L"rules.csv");
    ASSERT_TRUE(DeleteFileW(path.c_str()) && CreateDirectoryW(path.c_str(), nullptr));
    Click(IDC_PRESETS);
    ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() != nullptr; }));
    PostMessageW(dialog_, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(dialog_, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(AnswerMessageBox(IDOK), L"The rules could not be saved to " + path +
                                          L". The change is kept and will be saved with the next one.");
    EXPECT_EQ(Rows(), 3);
    EXPECT_TRUE(RemoveDirectoryW(path.c_str()));
}

TEST_F(MainDialogTest, MenuCommandsChangeTheSettingsAndTheMenuShowsThem) {
    Open();
    for (WORD command : {IDM_MONITORING_PAUSE, IDM_SETTINGS_PLAY_SOUND, IDM_SETTINGS_TRAY_NOTIFICATIONS,
                         IDM_UPDATE_WEEKLY, IDM_SETTINGS_INCLUDE_BETAS}) {
        Command(command);
    }
    ASSERT_TRUE(WaitUntil([] { return !appSettings.IncludeBetas; }));
    EXPECT_TRUE(app_->engine.paused);
    EXPECT_EQ(appSettings.AlertActions, kActionLog | kActionSound);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_PLAY_SOUND), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_TRAY_NOTIFICATIONS), BST_UNCHECKED);
    EXPECT_EQ(ReadSetting(L"UpdateCheckIntervalHours"), EncodeDword(168).Bytes);
    // The tray thread re-arms its own timer when it gets to the message.
    MSG rearm;
    EXPECT_TRUE(PeekMessageW(&rearm, Tray(), UWM_REARM_UPDATE_CHECK, UWM_REARM_UPDATE_CHECK, PM_REMOVE));

    HMENU menu = GetMenu(dialog_);
    SendMessageW(dialog_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(menu, 3)), 3);
    const UINT expected[][2] = {{IDM_MONITORING_PAUSE, MF_GRAYED},     {IDM_MONITORING_RESUME, 0},
                                {IDM_SETTINGS_PLAY_SOUND, MF_CHECKED}, {IDM_SETTINGS_TRAY_NOTIFICATIONS, 0},
                                {IDM_UPDATE_WEEKLY, MF_CHECKED},       {IDM_UPDATE_DAILY, 0},
                                {IDM_SETTINGS_INCLUDE_BETAS, 0}};
    for (const auto& [item, state] : expected) {
        EXPECT_EQ(GetMenuState(menu, item, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), state) << item;
    }

    Command(IDM_SETTINGS_RESET);
    EXPECT_EQ(AnswerMessageBox(IDYES), L"Reset all settings to defaults? This cannot be undone.");
    ASSERT_TRUE(WaitUntil([] { return appSettings.IncludeBetas.load(); }));
    EXPECT_EQ(appSettings.AlertActions, kActionBalloon | kActionLog);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_PLAY_SOUND), BST_UNCHECKED);
    EXPECT_TRUE(app_->engine.paused);
}

TEST_F(MainDialogTest, ImportExportAndEveryPreset) {
    TestFolder folder;
    Open();
    Click(IDC_IMPORT_RULES);
    AnswerFilePicker(folder.Write(L"bad.json", "{\"rules\": 5"));
    EXPECT_EQ(AnswerMessageBox(IDOK), L"Failed to import rules. Check the file format.");

    struct Preset {
        int downs;
        std::vector<std::wstring> rows;
    };
    const Preset presets[] = {
        {1,
         {L"Yes|chrome.exe|5000|4096|4096|-|-|-|-", L"Yes|firefox.exe|5000|4096|4096|-|-|-|-",
          L"Yes|msedge.exe|5000|4096|4096|-|-|-|-"}},
        {2, {L"Yes|*|-|-|-|95|-|-|-"}},
        {3, {L"Yes|*|20000|-|-|-|-|-|-"}},
        {4, {L"Yes|*|-|4096|4096|-|-|-|-"}},
        {5, {L"Yes|*|-|-|-|-|-|8000|-"}},
        {6, {L"Yes|*|-|-|-|-|500|-|-"}},
        {0, {}},  // Esc: nothing added
    };
    for (const Preset& preset : presets) {
        const int before = Rows();
        Click(IDC_PRESETS);
        ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() != nullptr; }));
        for (int i = 0; i < preset.downs; ++i) {
            PostMessageW(dialog_, WM_KEYDOWN, VK_DOWN, 0);
        }
        PostMessageW(dialog_, WM_KEYDOWN, preset.downs ? VK_RETURN : VK_ESCAPE, 0);
        ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
        ASSERT_TRUE(WaitUntil([&] { return Rows() == before + static_cast<int>(preset.rows.size()); }));
        for (size_t i = 0; i < preset.rows.size(); ++i) {
            EXPECT_EQ(RowText(before + static_cast<int>(i)), preset.rows[i]);
        }
    }
    EXPECT_EQ(app_->rules.Count(), 8u);

    Command(IDM_FILE_EXPORT);
    const std::wstring exported = folder.Path(L"out");
    AnswerFilePicker(exported);
    EXPECT_EQ(AnswerMessageBox(IDOK), L"Rules exported successfully.");
    EXPECT_NE(TestFolder::Read(exported + L".json").find("\"msedge.exe\""), std::string::npos);
}

TEST_F(MainDialogTest, CellsEditInPlace) {
    for (int i = 0; i < 12; ++i) {
        app_->rules.AddNewRules({{.RuleId = 0,
                                  .ProcessPattern = L"app" + std::to_wstring(i) + L".exe",
                                  .MaxHandles = 1000u * i,
                                  .MaxWorkingSetBytes = i * 256 * kBytesPerMB,
                                  .MaxCPU = 5.0 * i}});
    }
    Open();
    Screenshot(L"main_dialog", dialog_);

    struct Edit {
        int column;
        const wchar_t* text;
        UINT end;  // the key, or WM_KILLFOCUS
        const wchar_t* shown;
    };
    const Edit edits[] = {
        {2, L"abc", VK_RETURN, L"-"},
        {2, L"-5", VK_RETURN, L"4294967291"},
        {3, L"2048", VK_RETURN, L"2048"},
        {1, L"zz.exe", VK_ESCAPE, L"app0.exe"},
        {1, L"typed.exe", WM_KILLFOCUS, L"typed.exe"},
        {5, L"12.5", VK_RETURN, L"12"},
    };
    for (const Edit& edit : edits) {
        const std::wstring cell = Cell(0, edit.column);
        DoubleClickCell(0, edit.column);
        HWND editor = FindWindowExW(List(), nullptr, L"Edit", nullptr);
        ASSERT_TRUE(editor);
        // A "-" cell starts empty.
        wchar_t start[32] = {};
        GetWindowTextW(editor, start, 32);
        EXPECT_EQ(std::wstring(start), cell == L"-" ? L"" : cell);
        SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edit.text));
        if (edit.column == 5) {
            Screenshot(L"cell_edit", dialog_);
        }
        SendMessageW(editor, edit.end == WM_KILLFOCUS ? WM_KILLFOCUS : WM_KEYDOWN, edit.end, 0);
        ASSERT_TRUE(WaitUntil([editor] { return !IsWindow(editor); }));
        EXPECT_EQ(Cell(0, edit.column), edit.shown) << edit.text;
    }
    const ThresholdRule edited = *app_->rules.FindById(1);
    EXPECT_EQ(edited.MaxHandles, 4294967291u);
    EXPECT_EQ(edited.MaxWorkingSetBytes, 2048 * kBytesPerMB);
    EXPECT_EQ(edited.ProcessPattern, L"typed.exe");
    EXPECT_NE(RulesFile().find("1,typed.exe,1,4294967291,2048.0,0.0,12.5,"), std::string::npos);

    for (const char* enabled : {",0,", ",1,"}) {
        DoubleClickCell(0, 0);
        EXPECT_EQ(Cell(0, 0), enabled[1] == '1' ? L"Yes" : L"No");
        EXPECT_NE(RulesFile().find(std::string("typed.exe") + enabled), std::string::npos);
    }
    // A double-click below the rows is Add.
    RECT client = {};
    GetClientRect(List(), &client);
    PostMessageW(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, client.bottom - 5));
    HWND editor = WaitForWindow(kEditorCaption);
    ASSERT_TRUE(editor);
    PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([editor] { return !IsWindow(editor); }));
    EXPECT_EQ(Rows(), 12);
}

TEST_F(MainDialogTest, ResizePlacementAndEnter) {
    struct Placement {
        PlacementRect stored;
        bool restored;
    };
    const Placement placements[] = {{{40, 30, 1040, 730}, true}, {{-9000, -9000, -8000, -8000}, false}};
    for (const Placement& placement : placements) {
        appSettings.MainDialogPlacement.Set(placement.stored);
        Open();
        const RECT rect = WindowRect(dialog_);
        EXPECT_EQ(rect.left == 40 && rect.right == 1040 && rect.bottom == 730, placement.restored)
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
        EXPECT_GT(rect.left, -1000);
        if (placement.restored) {
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
            ASSERT_TRUE(WaitUntil([] { return mainDialogWindow.load() == nullptr; }));
        }
    }
    const RECT initial = WindowRect(dialog_);
    const RECT list = WindowRect(List());
    const RECT add = WindowRect(Item(IDC_ADD_RULE));
    const RECT ok = WindowRect(Item(IDOK));
    SetWindowPos(dialog_, nullptr, initial.left, initial.top, initial.right - initial.left + 200,
                 initial.bottom - initial.top + 100, SWP_NOZORDER);
    EXPECT_EQ(WindowRect(List()).right - list.right, 200);
    EXPECT_EQ(WindowRect(List()).bottom, list.bottom);
    EXPECT_EQ(WindowRect(Item(IDC_ADD_RULE)).right, add.right);
    EXPECT_EQ(WindowRect(Item(IDOK)).left - ok.left, 200);
    EXPECT_EQ(WindowRect(Item(IDOK)).top - ok.top, 100);
    SetWindowPos(dialog_, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_GE(WindowRect(dialog_).right - WindowRect(dialog_).left, initial.right - initial.left);
    EXPECT_GE(WindowRect(dialog_).bottom - WindowRect(dialog_).top,
              initial.bottom - initial.top + GetSystemMetrics(SM_CYMENU));

    // Enter in the rules list presses OK, which stores the placement in the registry.
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitUntil([] { return mainDialogWindow.load() == nullptr; }));
    const auto stored = ReadSetting(L"MainDialogPlacement");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 16u);
}
