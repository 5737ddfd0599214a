#include "ui/recent_alerts_page_win.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "alerts/alert_history.h"
#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "ui/alert_list_win.h"
#include "ui/history_window_win.h"
#include "ui/widgets/dark_controls_win.h"
#include "ui/widgets/list_view_win.h"

namespace {

constexpr UINT kRefreshMs = 2000;
constexpr size_t kRecentAlertRows = 20;

constexpr ListColumn kColumns[] = {
    {IDS_COL_TIME, 120}, {IDS_COL_PID, 50}, {IDS_COL_PROCESS, 110}, {IDS_COL_VIOLATION, 300}};

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_RECENT_ALERTS);
}

// The chosen item arrives as WM_COMMAND IDM_CLEAR_LOG.
void OfferClearLog(HWND dialog) {
    UniqueHMenu popup(CreatePopupMenu());
    if (!popup) {
        return;
    }
    AppendMenuW(popup.get(), MF_STRING, IDM_CLEAR_LOG, LoadStringResource(IDS_CLEAR_LOG).c_str());
    POINT cursor = {};
    GetCursorPos(&cursor);
    TrackPopupMenu(popup.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, dialog, nullptr);
}

int SelectedRowAfter(HWND list, int row) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
}

int ListRows(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace

void RecentAlertsPage::Create(HWND dialog) {
    ThemeReportList(List(dialog), GetDlgItem(dialog, IDC_SIZE_GRIP));
    SendMessageW(List(dialog), LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
    AddListColumns(List(dialog), kColumns);
    SetTimer(dialog, IDT_RECENT_ALERTS, kRefreshMs, nullptr);
    // The list fills at once rather than after the first period.
    PostMessageW(dialog, WM_TIMER, IDT_RECENT_ALERTS, 0);
}

void RecentAlertsPage::Show(HWND dialog, bool shown) {
    ShowWindow(List(dialog), shown ? SW_SHOW : SW_HIDE);
}

bool RecentAlertsPage::OnMessage(HWND dialog, UINT message, WPARAM wParam) {
    if (message != WM_TIMER || wParam != IDT_RECENT_ALERTS) {
        return false;
    }
    Refresh(dialog);
    return true;
}

bool RecentAlertsPage::OnNotify(HWND dialog, NMHDR& header) {
    if (header.idFrom != IDC_RECENT_ALERTS) {
        return false;
    }
    switch (header.code) {
    case NM_RCLICK: OfferClearLog(dialog); return true;
    case NM_DBLCLK:
        if (processes_ != nullptr) {
            RunHistoryWindowForAlertRow(dialog, List(dialog), reinterpret_cast<const NMITEMACTIVATE&>(header).iItem,
                                        *processes_, rules_, alerts_);
        }
        return true;
    default: return false;
    }
}

bool RecentAlertsPage::OnCommand(HWND dialog, WORD id, WORD) {
    if (id != IDM_CLEAR_LOG) {
        return false;
    }
    ClearAlertLog(dialog, alerts_, settings_.LogFilePath.Get());
    SendMessageW(List(dialog), LVM_DELETEALLITEMS, 0, 0);
    shown_.clear();
    return true;
}

void RecentAlertsPage::Refresh(HWND dialog) {
    // Copied under the lock, shown after it: the list's work never holds up alert delivery.
    std::vector<AlertRecord> newest;
    {
        AlertHistoryLock history(alerts_);
        if (shownChanges_ == history->Changes()) {
            return;
        }
        shownChanges_ = history->Changes();
        const size_t count = history->Count();
        for (size_t i = 0; i < std::min(count, kRecentAlertRows); ++i) {
            newest.push_back(history->At(count - 1 - i));
        }
    }
    HWND list = List(dialog);
    std::vector<AlertRecord> selected;
    for (int row = -1; (row = SelectedRowAfter(list, row)) >= 0 && static_cast<size_t>(row) < shown_.size();) {
        selected.push_back(shown_[static_cast<size_t>(row)]);
    }
    const auto top = static_cast<size_t>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const std::optional<AlertRecord> topRecord =
        top > 0 && top < shown_.size() ? std::optional(shown_[top]) : std::nullopt;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (const AlertRecord& record : newest) {
        AppendAlertRow(list, record);
        if (std::ranges::find(selected, record) != selected.end()) {
            ListView_SetItemState(list, ListRows(list) - 1, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    if (const auto found = topRecord ? std::ranges::find(newest, *topRecord) : newest.end(); found != newest.end()) {
        RECT row = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        SendMessageW(list, LVM_SCROLL, 0, (found - newest.begin()) * (row.bottom - row.top));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    shown_ = std::move(newest);
}
