#include "ui/rules_page_win.h"

#include <algorithm>

#include "base/ascii_fold.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rule_cells.h"
#include "rules/rule_presets.h"
#include "rules/rules_path_win.h"
#include "ui/preset_menu_win.h"
#include "ui/rule_editor_win.h"
#include "ui/widgets/dark_controls_win.h"
#include "ui/widgets/file_pickers_win.h"
#include "ui/widgets/list_view_win.h"
#include "ui/widgets/message_box_win.h"

namespace {

constexpr ListColumn kRuleColumns[kRuleColumnCount] = {
    {IDS_COL_ENABLED, 55},     {IDS_COL_PATTERN, 150},      {IDS_COL_HANDLES, 65},
    {IDS_COL_WORKING_SET, 65}, {IDS_COL_PRIVATE_BYTES, 65}, {IDS_COL_CPU, 55},
    {IDS_COL_THREADS, 60},     {IDS_COL_GDI, 50},           {IDS_COL_USER, 50},
};

// A cell still being edited is committed before anything else changes the list or ends the
// dialog: a menu takes no focus, so the editor's own commit would come only after the command.
constexpr WORD kCommandsEndingCellEdit[] = {IDOK,          IDCANCEL,        IDM_FILE_EXIT,   IDC_ADD_RULE,
                                            IDC_EDIT_RULE, IDC_REMOVE_RULE, IDM_RULES_RESET, IDC_IMPORT_RULES,
                                            IDC_PRESETS};

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_RULES_LIST);
}

void Tell(HWND dialog, UINT textId, UINT icon) {
    ShowMessage(dialog, LoadStringResource(textId), MB_OK | icon);
}

}  // namespace

void RulesPage::Create(HWND dialog) {
    HWND list = List(dialog);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
    AddListColumns(list, kRuleColumns);
    TakeEnterOnSelectedRow(list);
    ThemeReportList(list, GetDlgItem(dialog, IDC_SIZE_GRIP));
    Refresh(dialog);
}

void RulesPage::Refresh(HWND dialog) {
    HWND list = List(dialog);
    shown_ = rules_.Snapshot();
    // Emptied first, as a list refilled from scratch: no row stays selected and the top row shows.
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list, LVM_SETITEMCOUNT, shown_->size(), 0);
}

bool RulesPage::OnCommand(HWND dialog, WORD id, WORD code) {
    if (code != BN_CLICKED) {
        return false;
    }
    if (std::ranges::find(kCommandsEndingCellEdit, id) != std::end(kCommandsEndingCellEdit)) {
        OnEndCellEdit(dialog, 1);
    }
    switch (id) {
    case IDC_ADD_RULE: AddRule(dialog); return true;
    case IDC_EDIT_RULE: EditRule(dialog); return true;
    case IDC_REMOVE_RULE: RemoveRule(dialog); return true;
    case IDM_RULES_RESET: ResetRules(dialog); return true;
    case IDC_IMPORT_RULES: ImportRules(dialog); return true;
    case IDC_EXPORT_RULES: ExportRules(dialog); return true;
    case IDC_PRESETS: AddPreset(dialog); return true;
    default: return false;
    }
}

bool RulesPage::OnNotify(HWND dialog, NMHDR& header) {
    if (header.idFrom != IDC_RULES_LIST) {
        return false;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW: OnDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header)); return true;
    case LVN_ODFINDITEMW:
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FindRow(reinterpret_cast<const NMLVFINDITEMW&>(header)));
        return true;
    case NM_DBLCLK: OnDoubleClick(dialog, reinterpret_cast<const NMITEMACTIVATE&>(header)); return true;
    case NM_RETURN: EditRule(dialog); return true;
    case LVN_KEYDOWN: OnKey(dialog, reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey); return true;
    default: return false;
    }
}

bool RulesPage::OnMessage(HWND dialog, UINT message, WPARAM wParam) {
    if (message != UWM_END_CELL_EDIT) {
        return false;
    }
    OnEndCellEdit(dialog, wParam);
    return true;
}

void RulesPage::OnDisplayInfo(NMLVDISPINFOW& info) {
    const ThresholdRule* rule = RowRule(info.item.iItem);
    if (rule == nullptr) {
        return;
    }
    if ((info.item.mask & LVIF_PARAM) != 0) {
        info.item.lParam = static_cast<LPARAM>(rule->RuleId);
    }
    if ((info.item.mask & LVIF_TEXT) != 0 && info.item.cchTextMax > 0) {
        cellText_ = RuleCellText(*rule, info.item.iSubItem);
        lstrcpynW(info.item.pszText, cellText_.c_str(), info.item.cchTextMax);
    }
}

// A list that holds its texts finds the typed start of a first cell itself; this one is asked. Wine
// asks with LVFI_PARTIAL alone.
int RulesPage::FindRow(const NMLVFINDITEMW& find) const {
    if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr) {
        return -1;
    }
    const std::wstring typed = find.lvfi.psz;
    const bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    const size_t count = shown_->size();
    const size_t start = find.iStart > 0 ? static_cast<size_t>(find.iStart) : 0;
    const size_t steps = (find.lvfi.flags & LVFI_WRAP) != 0 ? count : count - std::min(start, count);
    for (size_t step = 0; step < steps; ++step) {
        const size_t row = (start + step) % count;
        const std::wstring text = RuleCellText((*shown_)[row], 0);
        if ((partial ? text.size() >= typed.size() : text.size() == typed.size()) &&
            std::equal(typed.begin(), typed.end(), text.begin(),
                       [](wchar_t a, wchar_t b) { return FoldAscii(a) == FoldAscii(b); })) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

const ThresholdRule* RulesPage::RowRule(int row) const {
    return row >= 0 && static_cast<size_t>(row) < shown_->size() ? &(*shown_)[static_cast<size_t>(row)] : nullptr;
}

int RulesPage::RowOf(uint32_t ruleId) const {
    const auto found = std::ranges::find(*shown_, ruleId, &ThresholdRule::RuleId);
    return found != shown_->end() ? static_cast<int>(found - shown_->begin()) : -1;
}

void RulesPage::SaveRules(HWND dialog) {
    const std::wstring path = GetRulesFilePath();
    const auto before = rules_.Snapshot();
    const bool saved = rules_.Save(path);
    // A rules file unreadable at start and readable now has joined the list: show its rules too.
    if (rules_.Snapshot() != before) {
        Refresh(dialog);
    }
    if (!saved) {
        ShowMessage(dialog, FillPlaceholder(LoadStringResource(IDS_SAVE_RULES_FAILED), path), MB_OK | MB_ICONERROR);
    }
}

void RulesPage::AddRule(HWND dialog, const std::wstring& pattern) {
    ThresholdRule rule;
    rule.ProcessPattern = pattern;
    // Taken before the editor opens: a cancelled add still uses up its id.
    rule.RuleId = rules_.NewRuleId();
    if (RunRuleEditor(dialog, rule)) {
        rules_.Add(rule);
        Refresh(dialog);
        SaveRules(dialog);
    }
}

void RulesPage::EditRule(HWND dialog) {
    const ThresholdRule* row = RowRule(SelectedListRow(List(dialog)));
    std::optional<ThresholdRule> rule = row ? rules_.FindById(row->RuleId) : std::nullopt;
    if (rule && RunRuleEditor(dialog, *rule)) {
        rules_.Update(*rule);
        Refresh(dialog);
        SaveRules(dialog);
    }
}

void RulesPage::RemoveRule(HWND dialog) {
    const int row = SelectedListRow(List(dialog));
    const ThresholdRule* rule = RowRule(row);
    if (rule == nullptr) {
        return;
    }
    rules_.Remove(rule->RuleId);
    // The other rows keep their place and selection: the list drops just this one.
    shown_ = rules_.Snapshot();
    SendMessageW(List(dialog), LVM_DELETEITEM, row, 0);
    SaveRules(dialog);
}

void RulesPage::ResetRules(HWND dialog) {
    if (ShowMessage(dialog, LoadStringResource(IDS_CONFIRM_RESET_RULES), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                    IDS_CONFIRM_RESET_TITLE) == IDYES) {
        rules_.Clear();
        Refresh(dialog);
        SaveRules(dialog);
    }
}

void RulesPage::ImportRules(HWND dialog) {
    std::wstring path;
    if (!PickFileToOpen(dialog, IDS_JSON_FILTER, path)) {
        return;
    }
    if (!rules_.ImportJson(path)) {
        Tell(dialog, IDS_IMPORT_FAILED, MB_ICONERROR);
        return;
    }
    Refresh(dialog);
    SaveRules(dialog);
}

void RulesPage::ExportRules(HWND dialog) const {
    std::wstring path;
    if (PickFileToSave(dialog, IDS_JSON_FILTER, L"json", path)) {
        const bool exported = rules_.ExportJson(path);
        Tell(dialog, exported ? IDS_EXPORT_SUCCEEDED : IDS_EXPORT_FAILED, exported ? MB_ICONINFORMATION : MB_ICONERROR);
    }
}

void RulesPage::AddPreset(HWND dialog) {
    const std::optional<size_t> preset = ChooseRulePreset(dialog, GetDlgItem(dialog, IDC_PRESETS));
    if (preset && AddRulePreset(rules_, *preset)) {
        Refresh(dialog);
        SaveRules(dialog);
    }
}

void RulesPage::CommitCellEdit(HWND dialog, int row, int column, const std::wstring& text, ThresholdRule rule) {
    if (!ApplyRuleCellText(rule, column, text)) {
        return;
    }
    rules_.Update(rule);
    shown_ = rules_.Snapshot();
    SendMessageW(List(dialog), LVM_REDRAWITEMS, row, row);
    SaveRules(dialog);
}

void RulesPage::BeginCellEdit(HWND dialog, int row, int column) {
    const ThresholdRule* rule = RowRule(row);
    if (rule != nullptr && cellEditor_.Begin(List(dialog), row, column, UWM_END_CELL_EDIT)) {
        editedRuleId_ = rule->RuleId;
    }
}

void RulesPage::OnDoubleClick(HWND dialog, const NMITEMACTIVATE& activate) {
    LVHITTESTINFO hit = {};
    hit.pt = activate.ptAction;
    if (SendMessageW(List(dialog), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 || hit.iItem < 0) {
        AddRule(dialog);
        return;
    }
    const ThresholdRule* row = RowRule(hit.iItem);
    const std::optional<ThresholdRule> rule = row ? rules_.FindById(row->RuleId) : std::nullopt;
    if (!rule) {
        return;
    }
    if (hit.iSubItem == 0) {
        CommitCellEdit(dialog, hit.iItem, 0, L"", *rule);
    } else {
        BeginCellEdit(dialog, hit.iItem, hit.iSubItem);
    }
}

void RulesPage::OnKey(HWND dialog, WORD key) {
    switch (key) {
    case VK_INSERT: AddRule(dialog); break;
    case VK_DELETE: RemoveRule(dialog); break;
    case VK_F2: BeginCellEdit(dialog, SelectedListRow(List(dialog)), 1); break;
    default: break;
    }
}

void RulesPage::OnEndCellEdit(HWND dialog, WPARAM commit) {
    // The editor's own loss of focus when it is destroyed sends a second notice: nothing is open.
    if (!cellEditor_.Active()) {
        return;
    }
    const uint32_t ruleId = editedRuleId_;
    const int column = cellEditor_.Column();
    const std::wstring text = cellEditor_.Text();
    cellEditor_.End();
    // The rule the cell was opened on, wherever its row is now; a rule removed meanwhile takes nothing.
    const int row = RowOf(ruleId);
    if (commit && row >= 0) {
        if (const std::optional<ThresholdRule> rule = rules_.FindById(ruleId)) {
            CommitCellEdit(dialog, row, column, text, *rule);
        }
    }
}
