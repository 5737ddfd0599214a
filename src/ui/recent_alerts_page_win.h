#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "monitor/alert_record.h"

// The "Recent Alerts" page of the main dialog: the list IDC_RECENT_ALERTS with the newest alerts, newest on top,
// refreshed every two seconds when the history has changed, and its "Clear Log" popup.
class RecentAlertsPage {
public:
    // Takes the main dialog's messages that concern the page: WM_INITDIALOG (columns, refresh
    // timer), the refresh timer, a right-click in the list and the "Clear Log" command. True when
    // the message was the page's.
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Refresh(HWND dialog);

    // The history's change count the list shows; none before the first refresh.
    std::optional<uint64_t> shownChanges_;
    // The records the rows show, top to bottom: the selection and the scroll position follow
    // their records when newer ones push them down.
    std::vector<AlertRecord> shown_;
};
