#include <gtest/gtest.h>

#include <algorithm>

#include "alerts/alert_history.h"
#include "base/resource_strings_win.h"
#include "support/test_support.h"
#include "ui/history_csv.h"
#include "win/support/load_generator.h"
#include "win/support/main_dialog_driver.h"

namespace {

class ProcessesPageTest : public MainDialogTest {
protected:
    HWND Processes() const { return Item(IDC_PROCESSES); }
    int RowOf(DWORD pid) const {
        for (int row = 0; row < ListView_GetItemCount(Processes()); ++row) {
            if (ListCellText(Processes(), row, 1) == std::to_wstring(pid)) return row;
        }
        return -1;
    }
    static std::wstring GetWindowTitle(HWND window) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }
    void ClickHeader(int column) const {
        NMLISTVIEW click{};
        click.hdr = {Processes(), IDC_PROCESSES, LVN_COLUMNCLICK};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(dialog_, WM_NOTIFY, IDC_PROCESSES, reinterpret_cast<LPARAM>(&click));
    }
};

}  // namespace

TEST_F(ProcessesPageTest, ListsSortsFiltersWatchesAndShowsAChildsHistoryFromItsRowAndItsAlert) {
    LoadGenerator small(L"alloc 8"), big(L"alloc 96");
    ASSERT_TRUE(small.Ready() && big.Ready());
    app_->Settings().PollIntervalMs = 300;  // taken at the engine's next start
    app_->Engine().Stop();
    app_->Engine().Start();
    Open();
    TabCtrl_SetCurSel(Item(IDC_TABS), 2);
    NMHDR selected{Item(IDC_TABS), IDC_TABS, TCN_SELCHANGE};
    SendMessageW(dialog_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&selected));
    ASSERT_TRUE(WaitUntil([&] { return RowOf(small.ProcessId()) >= 0 && RowOf(big.ProcessId()) >= 0; }));
    EXPECT_EQ(ListCellText(Processes(), RowOf(big.ProcessId()), 0), L"loadgen_win.exe");
    EXPECT_GE(std::stoi(ListCellText(Processes(), RowOf(big.ProcessId()), 3)), 96);  // working set in MB
    ClickHeader(3);  // largest first, then reversed
    EXPECT_LT(RowOf(big.ProcessId()), RowOf(small.ProcessId()));
    ClickHeader(3);
    EXPECT_GT(RowOf(big.ProcessId()), RowOf(small.ProcessId()));
    // The filter narrows as it is typed, whatever the case; the selection survives refreshes.
    SetDlgItemTextW(dialog_, IDC_PROCESS_FILTER, L"LOADGEN_W");
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Processes()) >= 2; }));
    for (int row = 0; row < ListView_GetItemCount(Processes()); ++row) {
        EXPECT_EQ(ListCellText(Processes(), row, 0), L"loadgen_win.exe");
    }
    ListView_SetItemState(Processes(), RowOf(big.ProcessId()), LVIS_SELECTED, LVIS_SELECTED);
    const uint64_t passes = app_->Engine().History().PassCount();
    ASSERT_TRUE(WaitUntil([&] { return app_->Engine().History().PassCount() > passes + 2; }));
    SaveScreenshot(L"processes", dialog_);
    Click(IDC_WATCH_PROCESS);
    HWND editor = OwnedDialog(dialog_);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(DialogItemText(editor, IDC_RULE_PATTERN), L"loadgen_win.exe");
    SetDlgItemTextW(editor, IDC_RULE_MAX_WORKING_SET, L"50");
    Close(editor, IDOK);
    EXPECT_EQ(RowText(0), L"Yes|loadgen_win.exe|-|50|-|-|-|-|-");
    // The big child goes over the new limit; its history shows the limit and the alert, and exports
    // the samples the engine kept.
    ASSERT_TRUE(PumpUntil([&] {
        AlertHistoryLock alerts(app_->AlertHistory());
        return alerts->Count() > 0 && alerts->At(alerts->Count() - 1).PID == big.ProcessId();
    }));
    const std::wstring title = L"History - loadgen_win.exe (" + std::to_wstring(big.ProcessId()) + L")";
    Click(IDC_PROCESS_HISTORY);
    HWND main = std::exchange(dialog_, OwnedDialog(dialog_));
    EXPECT_EQ(GetWindowTitle(dialog_), title);
    app_->Engine().paused = true;
    RECT chart;
    GetClientRect(Item(IDC_HISTORY_CHART), &chart);
    SendMessageW(Item(IDC_HISTORY_CHART), WM_MOUSEMOVE, 0, MAKELPARAM(chart.right / 2, chart.bottom / 2));
    SaveScreenshot(L"history", dialog_);
    TestFolder folder;
    PickFile(IDC_HISTORY_EXPORT, folder.Path(L"history.csv"));
    ProcessKey key;
    ProcessTrack track;
    const ProcessHistory& history = app_->Engine().History();
    ASSERT_TRUE(history.LatestWithId(big.ProcessId(), key) && history.Track(key, track));
    TIME_ZONE_INFORMATION zone{};
    const LONG bias = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT ? zone.Bias + zone.DaylightBias : zone.Bias + zone.StandardBias;
    const std::string all = FormatHistoryCsv(track, LoadStringResource(IDS_HISTORY_CSV_HEADER), -bias * 60);
    // Written before the window saw the last pass or after: the kept samples in order either way.
    std::string file;
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(folder.Path(L"history.csv"), file) && !file.empty(); }));
    EXPECT_TRUE(all.starts_with(file) && std::count(file.begin(), file.end(), '\n') >= 3) << file;
    Close(std::exchange(dialog_, main), IDCANCEL);
    // A double click on the alert's row opens the same window.
    TabCtrl_SetCurSel(Item(IDC_TABS), 0);
    SendMessageW(dialog_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&selected));
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Item(IDC_RECENT_ALERTS)) > 0; }));
    static NMITEMACTIVATE activate{};
    activate.hdr = {Item(IDC_RECENT_ALERTS), IDC_RECENT_ALERTS, NM_DBLCLK};
    PostMessageW(dialog_, WM_NOTIFY, IDC_RECENT_ALERTS, reinterpret_cast<LPARAM>(&activate));
    HWND again = OwnedDialog(dialog_);
    EXPECT_EQ(GetWindowTitle(again), title);
    Close(again, IDCANCEL);
    // So does one in the alert log window; a process with no kept history gets a message instead.
    AppendAlertHistory(app_->AlertHistory(), MakeAlert(999));
    Command(IDM_MONITORING_VIEW_LOG);
    const HWND log = WaitForDialog(kAlertLogCaption);
    activate.hdr = {GetDlgItem(log, IDC_ALERT_LOG_LIST), IDC_ALERT_LOG_LIST, NM_DBLCLK};
    PostMessageW(log, WM_NOTIFY, IDC_ALERT_LOG_LIST, reinterpret_cast<LPARAM>(&activate));
    again = OwnedDialog(log);
    EXPECT_EQ(GetWindowTitle(again), title);
    Close(again, IDCANCEL);
    activate.iItem = ListView_GetItemCount(GetDlgItem(log, IDC_ALERT_LOG_LIST)) - 1;
    PostMessageW(log, WM_NOTIFY, IDC_ALERT_LOG_LIST, reinterpret_cast<LPARAM>(&activate));
    EXPECT_EQ(AnswerMessageBox(log, IDOK), L"No history is kept for p.exe (999).");
    Close(log, IDCANCEL);
}
