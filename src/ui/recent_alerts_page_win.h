#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "alerts/alert_history.h"
#include "monitor/alert_record.h"
#include "monitor/process_history.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"
#include "ui/main_dialog_page_win.h"

// The "Recent Alerts" page of the main dialog: the list IDC_RECENT_ALERTS with the newest alerts, newest on top,
// refreshed every two seconds when the history has changed, its "Clear Log" popup, and a double
// click that opens the history window of the alert's process.
class RecentAlertsPage final : public MainDialogPage {
public:
    RecentAlertsPage(AlertHistoryStore& alerts, const AppSettings& settings, const ProcessHistory* processes,
                     const RuleStore& rules)
        : alerts_(alerts), settings_(settings), processes_(processes), rules_(rules) {}

    // Columns and the refresh timer; the list fills at once.
    void Create(HWND dialog) override;
    void Show(HWND dialog, bool shown) override;
    void Refresh(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id, WORD code) override;
    bool OnNotify(HWND dialog, NMHDR& header) override;
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam) override;

private:
    AlertHistoryStore& alerts_;
    // Where the log the "Clear Log" command empties lies.
    const AppSettings& settings_;
    const ProcessHistory* processes_;
    const RuleStore& rules_;
    // The history's change count the list shows; none before the first refresh.
    std::optional<uint64_t> shownChanges_;
    // The records the rows show, top to bottom: the selection and the scroll position follow
    // their records when newer ones push them down.
    std::vector<AlertRecord> shown_;
};
