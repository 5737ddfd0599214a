#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "rules/rule_store.h"
#include "ui/main_dialog_page_win.h"
#include "ui/widgets/cell_editor_win.h"

// The rules list of the main dialog (IDC_RULES_LIST, a virtual list whose cells come from the
// rule snapshot it shows) with its commands: add, edit, remove, presets, import, export and
// reset, double click, Insert, Delete, Enter and F2, and the in-place editing of its cells. Every
// change is saved to the rules file at once.
class RulesPage final : public MainDialogPage {
public:
    explicit RulesPage(RuleStore& rules) : rules_(rules) {}

    void Create(HWND dialog) override;
    void Show(HWND, bool) override {}
    void Refresh(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id, WORD code) override;
    bool OnNotify(HWND dialog, NMHDR& header) override;
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam) override;
    // Ends the cell editor without a commit; the dialog is going.
    void Destroy() { cellEditor_.End(); }

    // A new rule in the editor, its pattern filled in when given, added once the editor is confirmed.
    void AddRule(HWND dialog, const std::wstring& pattern = L"");

private:
    // Saves the rule list after a change the user made here; a failure is shown from this dialog.
    // The change stays in the list and goes out with the next save.
    void SaveRules(HWND dialog);
    // The rule a row shows; none past the end.
    const ThresholdRule* RowRule(int row) const;
    int RowOf(uint32_t ruleId) const;

    void EditRule(HWND dialog);
    void RemoveRule(HWND dialog);
    void ResetRules(HWND dialog);
    void ImportRules(HWND dialog);
    void ExportRules(HWND dialog) const;
    void AddPreset(HWND dialog);
    void CommitCellEdit(HWND dialog, int row, int column, const std::wstring& text, ThresholdRule rule);
    void BeginCellEdit(HWND dialog, int row, int column);
    void OnDoubleClick(HWND dialog, const NMITEMACTIVATE& activate);
    // The keys the menu shows beside its rule commands, and F2 to edit the pattern in place.
    void OnKey(HWND dialog, WORD key);
    void OnEndCellEdit(HWND dialog, WPARAM commit);
    void OnDisplayInfo(NMLVDISPINFOW& info);
    // The row a typed search lands on, or -1.
    int FindRow(const NMLVFINDITEMW& find) const;

    RuleStore& rules_;
    // The rules the rows show, in order; replaced whenever the list changes here.
    std::shared_ptr<const RuleList> shown_ = std::make_shared<const RuleList>();
    CellEditor cellEditor_;
    // The rule whose cell is open: rows move when others are removed, the rule stays.
    uint32_t editedRuleId_ = 0;
    std::wstring cellText_;
};
