#include "ui/exclusions_dialog_win.h"

#include "res/resource.h"
#include "settings/exclusion_text.h"
#include "settings/settings_store_win.h"
#include "ui/widgets/dialog_runner_win.h"

namespace {

constexpr UINT kThemedControls[] = {IDC_EXCLUSIONS_TEXT, IDOK, IDCANCEL};

class ExclusionsDialog final : public DialogHandler {
public:
    explicit ExclusionsDialog(AppSettings& settings) : settings_(settings) {}
    DialogTheme Theme() const override { return {kThemedControls}; }

    void OnInit(HWND dialog) override {
        SetDlgItemTextW(dialog, IDC_EXCLUSIONS_TEXT, JoinExclusionText(*settings_.Exclusions.Snapshot()).c_str());
    }

    bool OnCommand(HWND dialog, WORD id) override {
        if (id == IDOK) {
            // The engine takes the new list at its next pass.
            settings_.Exclusions.Set(ParseExclusionText(DialogItemText(dialog, IDC_EXCLUSIONS_TEXT)));
            SaveSettings(settings_);
        }
        return DialogHandler::OnCommand(dialog, id);
    }

private:
    AppSettings& settings_;
};

}  // namespace

void RunExclusionsDialog(HWND owner, AppSettings& settings) {
    ExclusionsDialog handler(settings);
    RunDialog(IDD_EXCLUSIONS, handler, owner);
}
