#include "ui/main_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "base/win_handles.h"
#include "res/resource.h"
#include "rules/rule_cells.h"
#include "rules/rule_presets.h"
#include "rules/rules_path_win.h"
#include "settings/app_settings.h"
#include "settings/setting_ranges.h"
#include "settings/settings_store_win.h"
#include "ui/action_toggles.h"
#include "ui/about_dialog_win.h"
#include "ui/exclusions_dialog_win.h"
#include "ui/history_window_win.h"
#include "ui/processes_page_win.h"
#include "ui/recent_alerts_page_win.h"
#include "ui/rule_editor_win.h"
#include "ui/settings_page_win.h"
#include "ui/widgets/anchor_layout_win.h"
#include "ui/widgets/cell_editor_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/file_pickers_win.h"
#include "ui/widgets/list_view_win.h"
#include "ui/widgets/message_box_win.h"
#include "update/version.h"

std::atomic<HWND> mainDialogWindow{nullptr};

namespace {


constexpr ListColumn kRuleColumns[kRuleColumnCount] = {
    {IDS_COL_ENABLED, 55},     {IDS_COL_PATTERN, 150},      {IDS_COL_HANDLES, 65},
    {IDS_COL_WORKING_SET, 65}, {IDS_COL_PRIVATE_BYTES, 65}, {IDS_COL_CPU, 55},
    {IDS_COL_THREADS, 60},     {IDS_COL_GDI, 50},           {IDS_COL_USER, 50},
};

// Menu items that stand for a button of the dialog.
struct ForwardedCommand {
    WORD menuId;
    WORD target;
};
constexpr ForwardedCommand kForwardedCommands[] = {
    {IDM_FILE_IMPORT, IDC_IMPORT_RULES}, {IDM_FILE_EXPORT, IDC_EXPORT_RULES}, {IDM_RULES_ADD, IDC_ADD_RULE},
    {IDM_RULES_EDIT, IDC_EDIT_RULE},     {IDM_RULES_REMOVE, IDC_REMOVE_RULE}, {IDM_RULES_PRESETS, IDC_PRESETS},
    {IDM_FILE_CLOSE, IDCANCEL},
};

constexpr WORD kCommandsEndingCellEdit[] = {IDOK,          IDCANCEL,         IDM_FILE_EXIT,   IDC_ADD_RULE,
                                            IDC_EDIT_RULE, IDC_REMOVE_RULE,  IDM_RULES_RESET, IDC_IMPORT_RULES,
                                            IDC_PRESETS};

struct UpdateFrequency {
    WORD menuId;
    uint32_t hours;
};
constexpr UpdateFrequency kUpdateFrequencies[] = {
    {IDM_UPDATE_DAILY, kUpdateCheckIntervalsHours[0]},
    {IDM_UPDATE_EVERY_3_DAYS, kUpdateCheckIntervalsHours[1]},
    {IDM_UPDATE_WEEKLY, kUpdateCheckIntervalsHours[2]}};

constexpr int kSettingsPageControls[] = {
    IDC_SETTINGS_GROUP, IDC_POLL_LABEL,   IDC_POLL_INTERVAL, IDC_TRAY_NOTIFICATIONS, IDC_THROTTLE_LABEL,
    IDC_THROTTLE,       IDC_LOG_TO_FILE,  IDC_LOG_PATH,      IDC_BROWSE_LOG,         IDC_PLAY_SOUND,
    IDC_SOUND_PATH,     IDC_BROWSE_SOUND, IDC_APPLY,
    IDC_METRICS_LABEL,  IDC_METRICS_PATH, IDC_BROWSE_METRICS, IDC_METRICS_ERROR,
};

constexpr int kProcessesPageControls[] = {IDC_PROCESS_FILTER_LABEL, IDC_PROCESS_FILTER, IDC_WATCH_PROCESS,
                                          IDC_PROCESS_HISTORY, IDC_PROCESSES};

constexpr UINT kThemedControls[] = {
    IDC_ADD_RULE,      IDC_EDIT_RULE,          IDC_REMOVE_RULE,
    IDC_PRESETS,       IDC_IMPORT_RULES,       IDC_EXPORT_RULES,
    IDC_POLL_INTERVAL, IDC_TRAY_NOTIFICATIONS, IDC_LOG_TO_FILE,
    IDC_PLAY_SOUND,    IDC_LOG_PATH,           IDC_SOUND_PATH,
    IDC_APPLY,         IDC_VERSION_LINK,       IDOK,
    IDCANCEL,          IDC_METRICS_PATH,       IDC_PROCESS_FILTER,
    IDC_WATCH_PROCESS, IDC_PROCESS_HISTORY,
};

// The pages are the main dialog's own controls laid over the tab control: page 0 is the recent
// alerts list, page 1 the settings, page 2 the processes; any other index hides them all.
void ShowTabPage(HWND dialog, int page) {
    ShowWindow(GetDlgItem(dialog, IDC_RECENT_ALERTS), page == 0 ? SW_SHOW : SW_HIDE);
    for (int id : kSettingsPageControls) {
        ShowWindow(GetDlgItem(dialog, id), page == 1 ? SW_SHOW : SW_HIDE);
    }
    for (int id : kProcessesPageControls) {
        ShowWindow(GetDlgItem(dialog, id), page == 2 ? SW_SHOW : SW_HIDE);
    }
    if (page == 2) {
        // The processes list fills at once rather than at the next tick.
        PostMessageW(dialog, WM_TIMER, IDT_PROCESSES, 0);
    }
}

// The menu bar took its height from the client area, so the grip of the template would stick out
// below it; it goes back into the corner before the layout is captured.
void PlaceSizeGrip(HWND dialog) {
    HWND grip = GetDlgItem(dialog, IDC_SIZE_GRIP);
    RECT client = {};
    RECT rect = {};
    GetClientRect(dialog, &client);
    GetWindowRect(grip, &rect);
    SetWindowPos(grip, nullptr, client.right - (rect.right - rect.left), client.bottom - (rect.bottom - rect.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool AskYesNo(HWND dialog, UINT textId) {
    return ShowMessage(dialog, LoadStringResource(textId), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                       IDS_CONFIRM_RESET_TITLE) == IDYES;
}

void Tell(HWND dialog, UINT textId, UINT icon) {
    ShowMessage(dialog, LoadStringResource(textId), MB_OK | icon);
}

class MainDialog final : public DialogHandler {
public:
    explicit MainDialog(const MainDialogContext& context)
        : context_(context), rules_(*context.rules), processes_(context.processHistory) {}

    void OnInit(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id) override;
    void OnDestroy(HWND) override {
        cellEditor_.End();
        mainDialogWindow.store(nullptr);
    }
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    DialogTheme Theme() const override { return {kThemedControls, true}; }

private:
    HWND List(HWND dialog) const { return GetDlgItem(dialog, IDC_RULES_LIST); }
    void RefreshRuleList(HWND dialog) const;
    // Saves the rule list after a change the user made here; a failure is shown from this dialog.
    // The change stays in the list and goes out with the next save.
    void SaveRules(HWND dialog) const;
    std::optional<ThresholdRule> SelectedRule(HWND dialog, int& row) const;

    // A new rule in the editor, its pattern filled in when given, added once the editor is confirmed.
    void AddRule(HWND dialog, const std::wstring& pattern = L"");
    void EditRule(HWND dialog);
    void RemoveRule(HWND dialog);
    void ResetRules(HWND dialog);
    void ImportRules(HWND dialog);
    void ExportRules(HWND dialog) const;
    void ChoosePreset(HWND dialog);
    void CommitCellEdit(HWND list, int row, int column, const std::wstring& text, ThresholdRule rule) const;
    void OnRulesDoubleClick(HWND dialog, const NMITEMACTIVATE& activate);
    void OnRecentAlertDoubleClick(HWND dialog, const NMITEMACTIVATE& activate) const;
    void ShowHistory(HWND dialog, const ProcessKey& key, const std::wstring& name) const;
    // The keys the menu shows beside its rule commands, and F2 to edit the pattern in place.
    void OnRulesKey(HWND dialog, WORD key);
    void OnEndCellEdit(HWND dialog, WPARAM commit);

    bool OnSettingsCommand(HWND dialog, WORD id);
    void FillSettingsFields(HWND dialog) const;
    void UpdateMenuState() const;
    void SetVersionLink(HWND dialog, bool updateAvailable) const;
    bool UpdateAvailable() const {
        return context_.updates && context_.updates->UpdateAvailable();
    }
    void RestorePlacement(HWND dialog) const;
    void StorePlacement(HWND dialog) const;
    void Post(UINT message, WPARAM wParam = 0) const { PostMessageW(context_.trayWindow, message, wParam, 0); }

    const MainDialogContext& context_;
    RuleStore& rules_;
    HMENU menu_ = nullptr;
    AnchorLayout layout_;
    CellEditor cellEditor_;
    RecentAlertsPage recentAlerts_;
    ProcessesPage processes_;
};

void MainDialog::OnInit(HWND dialog) {
    mainDialogWindow.store(dialog);
    // Attached to the window, the menu is destroyed with it.
    menu_ = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    SetMenu(dialog, menu_);

    HWND list = List(dialog);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
    AddListColumns(list, kRuleColumns);
    TakeEnterOnSelectedRow(list);
    ThemeReportList(list, GetDlgItem(dialog, IDC_SIZE_GRIP));
    ThemeReportList(GetDlgItem(dialog, IDC_RECENT_ALERTS), GetDlgItem(dialog, IDC_SIZE_GRIP));
    ThemeReportList(GetDlgItem(dialog, IDC_PROCESSES), GetDlgItem(dialog, IDC_SIZE_GRIP));
    RefreshRuleList(dialog);

    FillSettingsFields(dialog);
    HandleSettingsPage(dialog, WM_INITDIALOG, 0);
    recentAlerts_.OnMessage(dialog, WM_INITDIALOG, 0, 0);
    processes_.OnMessage(dialog, WM_INITDIALOG, 0, 0);
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    ThemeTabControl(tabs);
    for (UINT textId : {IDS_TAB_RECENT_ALERTS, IDS_TAB_SETTINGS, IDS_TAB_PROCESSES}) {
        std::wstring text = LoadStringResource(textId);
        TCITEMW tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = text.data();
        SendMessageW(tabs, TCM_INSERTITEMW, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&tab));
    }
    SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
    ShowTabPage(dialog, 0);

    PlaceSizeGrip(dialog);
    layout_.Capture(dialog, {
                                {IDC_RULES_GROUP, kAnchorGrowWidth},
                                {IDC_RULES_LIST, kAnchorGrowWidth},
                                {IDC_IMPORT_RULES, kAnchorMoveRight},
                                {IDC_EXPORT_RULES, kAnchorMoveRight},
                                {IDC_TABS, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_RECENT_ALERTS, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_PROCESSES, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_WATCH_PROCESS, kAnchorMoveRight},
                                {IDC_PROCESS_HISTORY, kAnchorMoveRight},
                                {IDC_SETTINGS_GROUP, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_LOG_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_LOG, kAnchorMoveRight},
                                {IDC_SOUND_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_SOUND, kAnchorMoveRight},
                                {IDC_METRICS_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_METRICS, kAnchorMoveRight},
                                {IDC_METRICS_ERROR, kAnchorGrowWidth},
                                {IDC_APPLY, kAnchorMoveRight},
                                {IDC_VERSION_LINK, kAnchorMoveDown},
                                {IDOK, kAnchorMoveRight | kAnchorMoveDown},
                                {IDCANCEL, kAnchorMoveRight | kAnchorMoveDown},
                                {IDC_SIZE_GRIP, kAnchorMoveRight | kAnchorMoveDown},
                            });
    RestorePlacement(dialog);
    SetVersionLink(dialog, UpdateAvailable());
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(dialog);
}

bool MainDialog::OnCommand(HWND dialog, WORD id) {
    for (const ForwardedCommand& forwarded : kForwardedCommands) {
        if (forwarded.menuId == id) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(forwarded.target, 0), 0);
            return true;
        }
    }
    // A cell still being edited is committed before anything else changes the list or ends the
    // dialog: a menu takes no focus, so the editor's own commit would come only after the command.
    if (std::ranges::find(kCommandsEndingCellEdit, id) != std::end(kCommandsEndingCellEdit)) {
        OnEndCellEdit(dialog, 1);
    }
    switch (id) {
    case IDOK:
        StorePlacement(dialog);
        SaveSettings();
        EndDialog(dialog, IDOK);
        return true;
    case IDCANCEL:
        // Kept in memory only: the next save of the settings (at the latest at exit) writes it.
        StorePlacement(dialog);
        EndDialog(dialog, IDCANCEL);
        return true;
    case IDM_FILE_EXIT:
        EndDialog(dialog, IDCANCEL);
        Post(UWM_EXIT);
        return true;
    case IDC_ADD_RULE: AddRule(dialog); return true;
    case IDC_WATCH_PROCESS: AddRule(dialog, processes_.SelectedName(dialog)); return true;
    case IDC_PROCESS_HISTORY: ShowHistory(dialog, processes_.SelectedKey(dialog), processes_.SelectedName(dialog)); return true;
    case IDC_EDIT_RULE: EditRule(dialog); return true;
    case IDC_REMOVE_RULE: RemoveRule(dialog); return true;
    case IDM_RULES_RESET: ResetRules(dialog); return true;
    case IDC_IMPORT_RULES: ImportRules(dialog); return true;
    case IDC_EXPORT_RULES: ExportRules(dialog); return true;
    case IDC_PRESETS: ChoosePreset(dialog); return true;
    case IDM_SETTINGS_EXCLUSIONS: RunExclusionsDialog(dialog); return true;
    case IDM_HELP_ABOUT: RunAboutDialog(dialog); return true;
    default:
        return HandleSettingsPage(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED)) ||
               recentAlerts_.OnMessage(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0) || OnSettingsCommand(dialog, id);
    }
}

bool MainDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = TRUE;
    if (HandleSettingsPage(dialog, message, wParam) || recentAlerts_.OnMessage(dialog, message, wParam, lParam) ||
        processes_.OnMessage(dialog, message, wParam, lParam)) {
        return true;
    }
    switch (message) {
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) {
            ShowTabPage(dialog, static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
            return true;
        }
        if (header.idFrom == IDC_RECENT_ALERTS && header.code == NM_DBLCLK) {
            OnRecentAlertDoubleClick(dialog, *reinterpret_cast<const NMITEMACTIVATE*>(lParam));
            return true;
        }
        if (header.idFrom == IDC_RULES_LIST && header.code == NM_DBLCLK) {
            OnRulesDoubleClick(dialog, *reinterpret_cast<const NMITEMACTIVATE*>(lParam));
            return true;
        }
        if (header.idFrom == IDC_RULES_LIST && header.code == NM_RETURN) {
            EditRule(dialog);
            return true;
        }
        if (header.idFrom == IDC_RULES_LIST && header.code == LVN_KEYDOWN) {
            OnRulesKey(dialog, reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
            return true;
        }
        if (header.idFrom == IDC_VERSION_LINK && (header.code == NM_CLICK || header.code == NM_RETURN)) {
            if (UpdateAvailable()) {
                Post(UWM_INSTALL_UPDATE);
            } else {
                Post(UWM_CHECK_UPDATES, 1);
            }
            return true;
        }
        return false;
    }
    case WM_DRAWITEM:
        if (wParam != IDC_TABS) {
            return false;
        }
        DrawDarkTab(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_SIZE: layout_.OnSize(dialog, wParam, LOWORD(lParam), HIWORD(lParam)); return true;
    case WM_GETMINMAXINFO: layout_.OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam)); return true;
    case WM_INITMENUPOPUP: UpdateMenuState(); return true;
    case UWM_UPDATE_AVAILABLE: SetVersionLink(dialog, true); return true;
    case UWM_END_CELL_EDIT: OnEndCellEdit(dialog, wParam); return true;
    default: return false;
    }
}

void MainDialog::RefreshRuleList(HWND dialog) const {
    HWND list = List(dialog);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (const ThresholdRule& rule : *rules_.Snapshot()) {
        const int row = AppendListRow(list, RuleCellText(rule, 0), static_cast<LPARAM>(rule.RuleId));
        for (int column = 1; column < kRuleColumnCount; ++column) {
            SetListCell(list, row, column, RuleCellText(rule, column));
        }
    }
}

void MainDialog::SaveRules(HWND dialog) const {
    const std::wstring path = GetRulesFilePath();
    const auto shown = rules_.Snapshot();
    const bool saved = rules_.Save(path);
    // A rules file unreadable at start and readable now has joined the list: show its rules too.
    if (rules_.Snapshot() != shown) {
        RefreshRuleList(dialog);
    }
    if (!saved) {
        ShowMessage(dialog, FillPlaceholder(LoadStringResource(IDS_SAVE_RULES_FAILED), path), MB_OK | MB_ICONERROR);
    }
}

std::optional<ThresholdRule> MainDialog::SelectedRule(HWND dialog, int& row) const {
    row = SelectedListRow(List(dialog));
    if (row < 0) {
        return std::nullopt;
    }
    return rules_.FindById(static_cast<uint32_t>(ListRowData(List(dialog), row)));
}

void MainDialog::AddRule(HWND dialog, const std::wstring& pattern) {
    ThresholdRule rule;
    rule.ProcessPattern = pattern;
    // Taken before the editor opens: a cancelled add still uses up its id.
    rule.RuleId = rules_.NewRuleId();
    if (RunRuleEditor(dialog, rule)) {
        rules_.Add(rule);
        RefreshRuleList(dialog);
        SaveRules(dialog);
    }
}

void MainDialog::OnRecentAlertDoubleClick(HWND dialog, const NMITEMACTIVATE& activate) const {
    if (context_.processHistory != nullptr) {
        RunHistoryWindowForAlertRow(dialog, GetDlgItem(dialog, IDC_RECENT_ALERTS), activate.iItem,
                                    *context_.processHistory, rules_);
    }
}

void MainDialog::ShowHistory(HWND dialog, const ProcessKey& key, const std::wstring& name) const {
    if (context_.processHistory != nullptr && key.ProcessId != 0) {
        RunHistoryWindow(dialog, *context_.processHistory, rules_, key, name);
    }
}

void MainDialog::EditRule(HWND dialog) {
    int row = -1;
    std::optional<ThresholdRule> rule = SelectedRule(dialog, row);
    if (rule && RunRuleEditor(dialog, *rule)) {
        rules_.Update(*rule);
        RefreshRuleList(dialog);
        SaveRules(dialog);
    }
}

void MainDialog::RemoveRule(HWND dialog) {
    int row = -1;
    if (const std::optional<ThresholdRule> rule = SelectedRule(dialog, row)) {
        rules_.Remove(rule->RuleId);
        SendMessageW(List(dialog), LVM_DELETEITEM, row, 0);
        SaveRules(dialog);
    }
}

void MainDialog::ResetRules(HWND dialog) {
    if (AskYesNo(dialog, IDS_CONFIRM_RESET_RULES)) {
        rules_.Clear();
        RefreshRuleList(dialog);
        SaveRules(dialog);
    }
}

void MainDialog::ImportRules(HWND dialog) {
    std::wstring path;
    if (!PickFileToOpen(dialog, IDS_JSON_FILTER, path)) {
        return;
    }
    if (!rules_.ImportJson(path)) {
        Tell(dialog, IDS_IMPORT_FAILED, MB_ICONERROR);
        return;
    }
    RefreshRuleList(dialog);
    SaveRules(dialog);
}

void MainDialog::ExportRules(HWND dialog) const {
    std::wstring path;
    if (PickFileToSave(dialog, IDS_JSON_FILTER, L"json", path)) {
        const bool exported = rules_.ExportJson(path);
        Tell(dialog, exported ? IDS_EXPORT_SUCCEEDED : IDS_EXPORT_FAILED, exported ? MB_ICONINFORMATION : MB_ICONERROR);
    }
}

void MainDialog::ChoosePreset(HWND dialog) {
    UniqueHMenu popup(CreatePopupMenu());
    if (!popup) {
        return;
    }
    for (const RulePreset& preset : RulePresets()) {
        AppendMenuW(popup.get(), MF_STRING, preset.MenuId, LoadStringResource(preset.LabelStringId).c_str());
    }
    RECT button = {};
    GetWindowRect(GetDlgItem(dialog, IDC_PRESETS), &button);
    const auto chosen = static_cast<uint32_t>(TrackPopupMenu(popup.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD,
                                                             button.left, button.bottom, 0, dialog, nullptr));
    if (chosen != 0 && AddRulePreset(rules_, chosen)) {
        RefreshRuleList(dialog);
        SaveRules(dialog);
    }
}

void MainDialog::CommitCellEdit(HWND list, int row, int column, const std::wstring& text, ThresholdRule rule) const {
    if (!ApplyRuleCellText(rule, column, text)) {
        return;
    }
    rules_.Update(rule);
    SetListCell(list, row, column, RuleCellText(rule, column));
    SaveRules(GetParent(list));
}

void MainDialog::OnRulesDoubleClick(HWND dialog, const NMITEMACTIVATE& activate) {
    HWND list = List(dialog);
    LVHITTESTINFO hit = {};
    hit.pt = activate.ptAction;
    if (SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 || hit.iItem < 0) {
        AddRule(dialog);
        return;
    }
    const std::optional<ThresholdRule> rule = rules_.FindById(static_cast<uint32_t>(ListRowData(list, hit.iItem)));
    if (!rule) {
        return;
    }
    if (hit.iSubItem == 0) {
        CommitCellEdit(list, hit.iItem, 0, L"", *rule);
    } else {
        cellEditor_.Begin(list, hit.iItem, hit.iSubItem, UWM_END_CELL_EDIT);
    }
}

void MainDialog::OnRulesKey(HWND dialog, WORD key) {
    switch (key) {
    case VK_INSERT: AddRule(dialog); break;
    case VK_DELETE: RemoveRule(dialog); break;
    case VK_F2:
        if (const int row = SelectedListRow(List(dialog)); row >= 0) {
            cellEditor_.Begin(List(dialog), row, 1, UWM_END_CELL_EDIT);
        }
        break;
    default: break;
    }
}

void MainDialog::OnEndCellEdit(HWND dialog, WPARAM commit) {
    // The editor's own loss of focus when it is destroyed sends a second notice: nothing is open.
    if (!cellEditor_.Active()) {
        return;
    }
    HWND list = List(dialog);
    const auto ruleId = static_cast<uint32_t>(cellEditor_.RowData());
    const int column = cellEditor_.Column();
    const std::wstring text = cellEditor_.Text();
    cellEditor_.End();
    // The rule the cell was opened on, wherever its row is now; a rule removed meanwhile takes nothing.
    const int row = FindListRow(list, static_cast<LPARAM>(ruleId));
    if (commit && row >= 0) {
        if (const std::optional<ThresholdRule> rule = rules_.FindById(ruleId)) {
            CommitCellEdit(list, row, column, text, *rule);
        }
    }
}

bool MainDialog::OnSettingsCommand(HWND dialog, WORD id) {
    for (const ActionToggle& toggle : kActionToggles) {
        if (toggle.menuId == id) {
            const uint32_t actions = appSettings.AlertActions.load(std::memory_order_relaxed) ^ toggle.bit;
            appSettings.AlertActions.store(actions, std::memory_order_relaxed);
            CheckDlgButton(dialog, toggle.checkBox, (actions & toggle.bit) ? BST_CHECKED : BST_UNCHECKED);
            SaveSettings();
            return true;
        }
    }
    for (const UpdateFrequency& frequency : kUpdateFrequencies) {
        if (frequency.menuId == id) {
            appSettings.UpdateCheckIntervalHours.store(frequency.hours, std::memory_order_relaxed);
            SaveSettings();
            Post(UWM_REARM_UPDATE_CHECK);
            return true;
        }
    }
    switch (id) {
    case IDM_MONITORING_PAUSE: context_.paused->store(true, std::memory_order_relaxed); return true;
    case IDM_MONITORING_RESUME: context_.paused->store(false, std::memory_order_relaxed); return true;
    case IDM_MONITORING_VIEW_LOG:
        if (context_.openAlertLog) {
            context_.openAlertLog();
        }
        return true;
    case IDM_SETTINGS_START_WITH_WINDOWS: SetStartWithWindows(); return true;
    case IDM_SETTINGS_INCLUDE_BETAS:
        appSettings.IncludeBetas.store(!appSettings.IncludeBetas.load(std::memory_order_relaxed),
                                       std::memory_order_relaxed);
        SaveSettings();
        return true;
    case IDM_SETTINGS_RESET:
        if (AskYesNo(dialog, IDS_CONFIRM_RESET_SETTINGS)) {
            ResetSettingsToDefaults();
            FillSettingsFields(dialog);
            Post(UWM_REARM_UPDATE_CHECK);
        }
        return true;
    case IDM_HELP_CHECK_UPDATES: Post(UWM_CHECK_UPDATES, 1); return true;
    default: return DialogHandler::OnCommand(dialog, id);
    }
}

void MainDialog::FillSettingsFields(HWND dialog) const {
    SetDlgItemInt(dialog, IDC_POLL_INTERVAL, appSettings.PollIntervalMs.load(std::memory_order_relaxed), FALSE);
    SetDlgItemInt(dialog, IDC_THROTTLE, appSettings.NotificationThrottleSec.load(std::memory_order_relaxed), FALSE);
    const uint32_t actions = appSettings.AlertActions.load(std::memory_order_relaxed);
    for (const ActionToggle& toggle : kActionToggles) {
        CheckDlgButton(dialog, toggle.checkBox, (actions & toggle.bit) ? BST_CHECKED : BST_UNCHECKED);
    }
    SetDlgItemTextW(dialog, IDC_LOG_PATH, appSettings.LogFilePath.Get().c_str());
    SetDlgItemTextW(dialog, IDC_SOUND_PATH, appSettings.SoundFilePath.Get().c_str());
    SetDlgItemTextW(dialog, IDC_METRICS_PATH, appSettings.MetricsFilePath.Get().c_str());
}

void MainDialog::UpdateMenuState() const {
    const bool paused = context_.paused->load(std::memory_order_relaxed);
    EnableMenuItem(menu_, IDM_MONITORING_PAUSE, MF_BYCOMMAND | (paused ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu_, IDM_MONITORING_RESUME, MF_BYCOMMAND | (paused ? MF_ENABLED : MF_GRAYED));
    const uint32_t actions = appSettings.AlertActions.load(std::memory_order_relaxed);
    for (const ActionToggle& toggle : kActionToggles) {
        CheckMenuItem(menu_, toggle.menuId, MF_BYCOMMAND | ((actions & toggle.bit) ? MF_CHECKED : MF_UNCHECKED));
    }
    CheckMenuItem(menu_, IDM_SETTINGS_START_WITH_WINDOWS,
                  MF_BYCOMMAND | (IsStartWithWindowsEnabled() ? MF_CHECKED : MF_UNCHECKED));
    const uint32_t hours = appSettings.UpdateCheckIntervalHours.load(std::memory_order_relaxed);
    const UINT frequency = hours <= 24 ? IDM_UPDATE_DAILY : hours <= 72 ? IDM_UPDATE_EVERY_3_DAYS : IDM_UPDATE_WEEKLY;
    CheckMenuRadioItem(menu_, IDM_UPDATE_DAILY, IDM_UPDATE_WEEKLY, frequency, MF_BYCOMMAND);
    CheckMenuItem(
        menu_, IDM_SETTINGS_INCLUDE_BETAS,
        MF_BYCOMMAND | (appSettings.IncludeBetas.load(std::memory_order_relaxed) ? MF_CHECKED : MF_UNCHECKED));
}

void MainDialog::SetVersionLink(HWND dialog, bool updateAvailable) const {
    HWND link = GetDlgItem(dialog, IDC_VERSION_LINK);
    const std::wstring text = updateAvailable
                                  ? FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_UPDATE), context_.updates->LatestVersion())
                                  : FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion);
    SetWindowTextW(link, text.c_str());
    ShowWindow(link, SW_SHOW);
}

void MainDialog::RestorePlacement(HWND dialog) const {
    const PlacementRect placement = appSettings.MainDialogPlacement.Get();
    // 64-bit sums: stored coordinates come from the registry and may be anything.
    const int64_t width = int64_t{placement.Right} - placement.Left;
    const int64_t height = int64_t{placement.Bottom} - placement.Top;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) {
        return;
    }
    const POINT centre = {static_cast<LONG>((int64_t{placement.Left} + placement.Right) / 2),
                          static_cast<LONG>((int64_t{placement.Top} + placement.Bottom) / 2)};
    if (MonitorFromPoint(centre, MONITOR_DEFAULTTONULL)) {
        SetWindowPos(dialog, nullptr, placement.Left, placement.Top, static_cast<int>(width), static_cast<int>(height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainDialog::StorePlacement(HWND dialog) const {
    // A minimised window's rectangle lies off every screen; keep the last real one instead.
    if (IsIconic(dialog)) {
        return;
    }
    RECT window = {};
    GetWindowRect(dialog, &window);
    appSettings.MainDialogPlacement.Set({window.left, window.top, window.right, window.bottom});
}

}  // namespace

void RunMainDialog(const MainDialogContext& context) {
    MainDialog handler(context);
    RunDialog(IDD_MAIN_DIALOG, handler);
}
