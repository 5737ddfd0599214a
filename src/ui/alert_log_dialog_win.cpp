#include "ui/alert_log_dialog_win.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "alerts/alert_csv.h"
#include "base/debug_trace.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/alert_list_win.h"
#include "ui/history_window_win.h"
#include "ui/widgets/anchor_layout_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/file_pickers_win.h"
#include "ui/widgets/list_view_win.h"

namespace {

constexpr ListColumn kColumns[] = {
    {IDS_COL_TIME, 130}, {IDS_COL_PID, 60}, {IDS_COL_PROCESS, 120}, {IDS_COL_VIOLATION, 350}};

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_ALERT_LOG_LIST);
}

void ExportCsv(HWND dialog, AlertHistoryStore& alerts) {
    std::wstring path;
    if (PickFileToSave(dialog, IDS_CSV_FILTER, L"csv", path) &&
        !ExportAlertCsv(alerts, path, LoadStringResource(IDS_CSV_HEADER))) {
        DebugTrace(L"AlertLogDialog::ExportCsv - Cannot write %ls", path.c_str());
    }
}

constexpr UINT kThemedControls[] = {IDC_EXPORT_CSV, IDC_CLEAR_ALERT_LOG, IDOK, IDCANCEL};

// Each open window has its own handler, so each keeps its own layout.
class AlertLogDialog final : public DialogHandler {
public:
    AlertLogDialog(AlertHistoryStore& alerts, const AppSettings& settings, const ProcessHistory* history,
                   const RuleStore* rules)
        : alerts_(alerts), settings_(settings), history_(history), rules_(rules) {}
    DialogTheme Theme() const override { return {kThemedControls}; }

    void OnInit(HWND dialog) override {
        HWND list = List(dialog);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
        ThemeReportList(list, GetDlgItem(dialog, IDC_ALERT_LOG_SIZE_GRIP));
        AddListColumns(list, kColumns);
        // A snapshot, oldest first: the list does not follow later alerts.
        for (const AlertRecord& record : CopyAlertHistory(alerts_)) {
            AppendAlertRow(list, record);
        }
        layout_.Capture(dialog, {
                                    {IDC_ALERT_LOG_LIST, kAnchorGrowWidth | kAnchorGrowHeight},
                                    {IDC_EXPORT_CSV, kAnchorMoveDown},
                                    {IDC_CLEAR_ALERT_LOG, kAnchorMoveDown},
                                    {IDCANCEL, kAnchorMoveRight | kAnchorMoveDown},
                                    {IDC_ALERT_LOG_SIZE_GRIP, kAnchorMoveRight | kAnchorMoveDown},
                                });
        SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(dialog);
    }

    bool OnCommand(HWND dialog, WORD id) override {
        switch (id) {
        case IDC_EXPORT_CSV: ExportCsv(dialog, alerts_); return true;
        case IDC_CLEAR_ALERT_LOG:
            ClearAlertLog(dialog, alerts_, settings_.LogFilePath.Get());
            SendMessageW(List(dialog), LVM_DELETEALLITEMS, 0, 0);
            return true;
        default: return DialogHandler::OnCommand(dialog, id);
        }
    }

    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        result = TRUE;
        switch (message) {
        case WM_SIZE: layout_.OnSize(dialog, wParam, LOWORD(lParam), HIWORD(lParam)); return true;
        case WM_GETMINMAXINFO: layout_.OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam)); return true;
        case WM_NOTIFY: {
            const auto& activate = *reinterpret_cast<const NMITEMACTIVATE*>(lParam);
            if (activate.hdr.idFrom != IDC_ALERT_LOG_LIST || activate.hdr.code != NM_DBLCLK || !history_ || !rules_) {
                return false;
            }
            RunHistoryWindowForAlertRow(dialog, List(dialog), activate.iItem, *history_, *rules_, alerts_);
            return true;
        }
        default: return false;
        }
    }

private:
    AnchorLayout layout_;
    AlertHistoryStore& alerts_;
    const AppSettings& settings_;
    const ProcessHistory* history_;
    const RuleStore* rules_;
};

}  // namespace

void RunAlertLogDialog(AlertHistoryStore& alerts, const AppSettings& settings, const ProcessHistory* history,
                       const RuleStore* rules) {
    AlertLogDialog handler(alerts, settings, history, rules);
    RunDialog(IDD_ALERT_LOG, handler);
}
