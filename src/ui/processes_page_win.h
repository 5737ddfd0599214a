#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/process_history.h"
#include "ui/process_table.h"

// The "Processes" page of the main dialog: the virtual list IDC_PROCESSES with every process of the last pass,
// refreshed once a second while the page shows and a pass has come since, a "Filter:" field, a
// sort by header click, and "Watch..." and "History..." (buttons and context menu) sent to the
// dialog as the IDC_WATCH_PROCESS and IDC_PROCESS_HISTORY commands.
class ProcessesPage {
public:
    explicit ProcessesPage(const ProcessHistory* history) : history_(history) {}

    // Takes the main dialog's messages that concern the page: WM_INITDIALOG, its timer, the list's
    // notices and the filter's changes. True when the message was the page's.
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The executable name of the selected row; empty when none is selected.
    std::wstring SelectedName(HWND dialog) const;
    // The selected process; {0, 0} when none is selected.
    ProcessKey SelectedKey(HWND dialog) const;

private:
    void Refresh(HWND dialog);
    // Sorts and filters the kept pass again, keeping the selected process and the top row.
    void Show(HWND dialog);
    const ProcessSample* RowSample(int row) const;
    void OnDisplayInfo(NMLVDISPINFOW& info);

    const ProcessHistory* history_;
    uint64_t shownPass_ = 0;
    std::vector<ProcessSample> pass_;
    std::vector<size_t> rows_;
    ProcessOrder order_;
    std::wstring cellText_;
};
