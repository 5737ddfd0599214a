#include "ui/processes_page_win.h"

#include <commctrl.h>

#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "ui/history_window_win.h"
#include "ui/widgets/dark_controls_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/list_view_win.h"

namespace {

constexpr UINT kRefreshMs = 1000;
// System identifiers are multiples of four, so this one names no process.
constexpr ProcessKey kNoProcess{UINT32_MAX, 0};

constexpr ListColumn kColumns[kProcessColumnCount] = {
    {IDS_COL_PROCESS, 130},    {IDS_COL_PID, 50},           {IDS_COL_HANDLES, 60},
    {IDS_COL_WORKING_SET, 60}, {IDS_COL_PRIVATE_BYTES, 60}, {IDS_COL_CPU, 45},
    {IDS_COL_THREADS, 55},     {IDS_COL_GDI, 45},           {IDS_COL_USER, 45}};

constexpr int kPageControls[] = {IDC_PROCESS_FILTER_LABEL, IDC_PROCESS_FILTER, IDC_WATCH_PROCESS, IDC_PROCESS_HISTORY,
                                 IDC_PROCESSES};

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_PROCESSES);
}

int SelectedRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

ProcessKey KeyOf(const ProcessSample& sample) {
    return ProcessKey{sample.ProcessId, sample.CreationTime};
}

// The chosen item arrives as WM_COMMAND IDC_WATCH_PROCESS or IDC_PROCESS_HISTORY.
void OfferCommands(HWND dialog) {
    UniqueHMenu popup(CreatePopupMenu());
    if (!popup) {
        return;
    }
    AppendMenuW(popup.get(), MF_STRING, IDC_WATCH_PROCESS, LoadStringResource(IDS_WATCH_PROCESS).c_str());
    AppendMenuW(popup.get(), MF_STRING, IDC_PROCESS_HISTORY, LoadStringResource(IDS_PROCESS_HISTORY).c_str());
    POINT cursor = {};
    GetCursorPos(&cursor);
    TrackPopupMenu(popup.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, dialog, nullptr);
}

void EnableRowCommands(HWND dialog, bool enable) {
    EnableWindow(GetDlgItem(dialog, IDC_WATCH_PROCESS), enable);
    EnableWindow(GetDlgItem(dialog, IDC_PROCESS_HISTORY), enable);
}

}  // namespace

void ProcessesPage::Create(HWND dialog) {
    ThemeReportList(List(dialog), GetDlgItem(dialog, IDC_SIZE_GRIP));
    SendMessageW(List(dialog), LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1),
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddListColumns(List(dialog), kColumns);
    SetTimer(dialog, IDT_PROCESSES, kRefreshMs, nullptr);
}

void ProcessesPage::Show(HWND dialog, bool shown) {
    for (int id : kPageControls) {
        ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
    }
    if (shown) {
        PostMessageW(dialog, WM_TIMER, IDT_PROCESSES, 0);
    }
}

bool ProcessesPage::OnMessage(HWND dialog, UINT message, WPARAM wParam) {
    if (message != WM_TIMER || wParam != IDT_PROCESSES) {
        return false;
    }
    Refresh(dialog);
    return true;
}

bool ProcessesPage::OnCommand(HWND dialog, WORD id, WORD code) {
    if (id == IDC_PROCESS_HISTORY && code == BN_CLICKED) {
        const ProcessSample* sample = RowSample(SelectedRow(List(dialog)));
        if (history_ != nullptr && sample != nullptr && sample->ProcessId != 0) {
            RunHistoryWindow(dialog, *history_, rules_, KeyOf(*sample), sample->ExeName, alerts_);
        }
        return true;
    }
    if (id != IDC_PROCESS_FILTER || code != EN_CHANGE) {
        return false;
    }
    ShowRows(dialog);
    return true;
}

bool ProcessesPage::OnNotify(HWND dialog, NMHDR& header) {
    if (header.idFrom != IDC_PROCESSES) {
        return false;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW: OnDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header)); return true;
    case LVN_COLUMNCLICK:
        order_.Click(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        ShowRows(dialog);
        return true;
    case LVN_ITEMCHANGED: EnableRowCommands(dialog, SelectedRow(List(dialog)) >= 0); return true;
    case NM_RCLICK:
        if (SelectedRow(List(dialog)) >= 0) {
            OfferCommands(dialog);
        }
        return true;
    default: return false;
    }
}

std::wstring ProcessesPage::SelectedName(HWND dialog) const {
    const ProcessSample* sample = RowSample(SelectedRow(List(dialog)));
    return sample != nullptr ? sample->ExeName : std::wstring();
}

void ProcessesPage::Refresh(HWND dialog) {
    // A hidden page costs nothing; it catches up at the first tick after it shows.
    if (history_ == nullptr || !IsWindowVisible(List(dialog)) || history_->PassCount() == shownPass_) {
        return;
    }
    // Copied under the history's lock, sorted and shown after it.
    pass_ = history_->LastPass(&shownPass_);
    ShowRows(dialog);
}

void ProcessesPage::ShowRows(HWND dialog) {
    HWND list = List(dialog);
    const ProcessSample* selected = RowSample(SelectedRow(list));
    const ProcessSample* top = RowSample(static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)));
    const ProcessKey selectedKey = selected ? KeyOf(*selected) : kNoProcess;
    const ProcessKey topKey = top ? KeyOf(*top) : kNoProcess;
    rows_ = ProcessRows(pass_, order_, DialogItemText(dialog, IDC_PROCESS_FILTER));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    // Wine's list takes tens of milliseconds over a new count, even an equal one: sent only on a change.
    if (static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) != rows_.size()) {
        SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    }
    int selectedRow = -1, topRow = -1;
    for (size_t row = 0; row < rows_.size(); ++row) {
        const ProcessKey key = KeyOf(pass_[rows_[row]]);
        selectedRow = key == selectedKey ? static_cast<int>(row) : selectedRow;
        topRow = key == topKey ? static_cast<int>(row) : topRow;
    }
    if (selectedRow >= 0) {
        ListView_SetItemState(list, selectedRow, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    if (topRow >= 0) {
        RECT rect = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect));
        const int shift = topRow - static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        SendMessageW(list, LVM_SCROLL, 0, shift * (rect.bottom - rect.top));
    }
    EnableRowCommands(dialog, selectedRow >= 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
}

const ProcessSample* ProcessesPage::RowSample(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &pass_[rows_[static_cast<size_t>(row)]] : nullptr;
}

void ProcessesPage::OnDisplayInfo(NMLVDISPINFOW& info) {
    const ProcessSample* sample = RowSample(info.item.iItem);
    if (sample == nullptr || (info.item.mask & LVIF_TEXT) == 0 || info.item.cchTextMax <= 0) {
        return;
    }
    cellText_ = ProcessCellText(*sample, info.item.iSubItem);
    if (info.item.iSubItem == 0 && sample->Excluded) {
        cellText_ = FillPlaceholder(LoadStringResource(IDS_EXCLUDED_PROCESS), cellText_);
    }
    lstrcpynW(info.item.pszText, cellText_.c_str(), info.item.cchTextMax);
}
