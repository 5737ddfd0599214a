#include "ui/rule_editor_win.h"

#include <set>
#include <string>

#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rule_cells.h"
#include "rules/rule_pattern.h"
#include "settings/alert_actions.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/message_box_win.h"

namespace {

struct EditorControl {
    int id;
    RuleEditorField field;
};

constexpr EditorControl kFields[] = {
    {IDC_RULE_PATTERN, RuleEditorField::Pattern},
    {IDC_RULE_MAX_HANDLES, RuleEditorField::Handles},
    {IDC_RULE_MAX_WORKING_SET, RuleEditorField::WorkingSet},
    {IDC_RULE_MAX_PRIVATE_BYTES, RuleEditorField::PrivateBytes},
    {IDC_RULE_MAX_CPU, RuleEditorField::Cpu},
    {IDC_RULE_MAX_THREADS, RuleEditorField::Threads},
    {IDC_RULE_MAX_GDI, RuleEditorField::Gdi},
    {IDC_RULE_MAX_USER, RuleEditorField::User},
    {IDC_RULE_COOLDOWN, RuleEditorField::Cooldown},
    {IDC_RULE_SUSTAIN, RuleEditorField::Sustain},
};

constexpr UINT kThemedControls[] = {
    IDC_RULE_PATTERN,
    IDC_RULE_ENABLED,
    IDC_RULE_MAX_HANDLES,
    IDC_RULE_MAX_WORKING_SET,
    IDC_RULE_MAX_PRIVATE_BYTES,
    IDC_RULE_MAX_CPU,
    IDC_RULE_MAX_THREADS,
    IDC_RULE_MAX_GDI,
    IDC_RULE_MAX_USER,
    IDC_RULE_COOLDOWN,
    IDC_RULE_SUSTAIN,
    IDC_RULE_NOTIFY_BACK_UNDER,
    IDOK,
    IDCANCEL,
};

class RuleEditor final : public DialogHandler {
public:
    explicit RuleEditor(ThresholdRule& rule) : rule_(rule) {}

    DialogTheme Theme() const override { return {kThemedControls}; }

    void OnInit(HWND dialog) override {
        for (const EditorControl& control : kFields) {
            SetDlgItemTextW(dialog, control.id, RuleEditorText(rule_, control.field).c_str());
        }
        CheckDlgButton(dialog, IDC_RULE_ENABLED, rule_.Enabled ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_RULE_NOTIFY_BACK_UNDER,
                       (rule_.AlertActions & kActionNotifyBackUnder) ? BST_CHECKED : BST_UNCHECKED);
        filled_ = true;
    }

    bool OnMessage(HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR&) override {
        // The fields' own filling above also notifies; only what follows it is the user's.
        if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && filled_) {
            edited_.insert(LOWORD(wParam));
        }
        return false;
    }

    bool OnCommand(HWND dialog, WORD id) override {
        if (id == IDOK) {
            // A rule without a pattern would be dropped by the next load, limits and all.
            if (IsBlankPattern(DialogItemText(dialog, IDC_RULE_PATTERN))) {
                ShowMessage(dialog, LoadStringResource(IDS_PATTERN_REQUIRED), MB_OK | MB_ICONWARNING);
                HWND pattern = GetDlgItem(dialog, IDC_RULE_PATTERN);
                SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pattern), TRUE);
                return true;
            }
            ThresholdRule edited = rule_;
            // Only the fields the user edited are read back: a text shown for the rule stands for
            // the rule's own value, which the shown text may round (CPU) or truncate (MB), so
            // typing the shown text itself is a change too.
            for (const EditorControl& control : kFields) {
                if (edited_.contains(control.id)) {
                    ApplyRuleEditorText(edited, control.field, DialogItemText(dialog, control.id));
                }
            }
            edited.Enabled = IsDlgButtonChecked(dialog, IDC_RULE_ENABLED) == BST_CHECKED;
            // The only action the editor shows; the rule's other action bits stay as they are.
            edited.AlertActions &= ~kActionNotifyBackUnder;
            if (IsDlgButtonChecked(dialog, IDC_RULE_NOTIFY_BACK_UNDER) == BST_CHECKED) {
                edited.AlertActions |= kActionNotifyBackUnder;
            }
            rule_ = edited;
        }
        return DialogHandler::OnCommand(dialog, id);
    }

private:
    ThresholdRule& rule_;
    bool filled_ = false;
    std::set<int> edited_;
};

}  // namespace

bool RunRuleEditor(HWND owner, ThresholdRule& rule) {
    RuleEditor handler(rule);
    return RunDialog(IDD_RULE_EDITOR, handler, owner) == IDOK;
}
