#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alerts/alert_history.h"
#include "monitor/process_history.h"
#include "rules/rule_store.h"
#include "ui/main_dialog_page_win.h"
#include "ui/process_table.h"

// The "Processes" page of the main dialog: the virtual list IDC_PROCESSES with every process of the last pass,
// refreshed once a second while the page shows and a pass has come since, a "Filter:" field, a
// sort by header click, and "Watch..." and "History..." (buttons and context menu) sent to the
// dialog as the IDC_WATCH_PROCESS and IDC_PROCESS_HISTORY commands. The page opens the history
// window itself; watching adds a rule, which the dialog does.
class ProcessesPage final : public MainDialogPage {
public:
    ProcessesPage(const ProcessHistory* history, const RuleStore& rules, AlertHistoryStore& alerts)
        : history_(history), rules_(rules), alerts_(alerts) {}

    void Create(HWND dialog) override;
    // Shown, the list fills at once rather than at the next tick.
    void Show(HWND dialog, bool shown) override;
    // Takes the newest pass when one has come since and the page shows.
    void Refresh(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id, WORD code) override;
    bool OnNotify(HWND dialog, NMHDR& header) override;
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam) override;
    // The executable name of the selected row; empty when none is selected.
    std::wstring SelectedName(HWND dialog) const;

private:
    // Sorts and filters the kept pass again, keeping the selected process and the top row.
    void ShowRows(HWND dialog);
    const ProcessSample* RowSample(int row) const;
    void OnDisplayInfo(NMLVDISPINFOW& info);

    const ProcessHistory* history_;
    const RuleStore& rules_;
    // Whose alerts the history window marks.
    AlertHistoryStore& alerts_;
    uint64_t shownPass_ = 0;
    std::vector<ProcessSample> pass_;
    std::vector<size_t> rows_;
    ProcessOrder order_;
    std::wstring cellText_;
};
