#include "ui/history_window_win.h"

#include <algorithm>
#include <vector>

#include "alerts/alert_history.h"
#include "base/c_scan.h"
#include "base/file_io.h"
#include "base/debug_trace.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "monitor/pass_report.h"
#include "res/resource.h"
#include "rules/wildcard_match.h"
#include "ui/history_csv.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/file_pickers_win.h"
#include "ui/widgets/line_chart_win.h"
#include "ui/widgets/list_view_win.h"
#include "ui/widgets/message_box_win.h"

namespace {

constexpr UINT kRefreshMs = 1000;
constexpr int kMargin = 8;

int UtcOffsetSeconds() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    const LONG bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    return -static_cast<int>(bias) * 60;
}

double PointValue(const HistoryPoint& point, size_t counter) {
    const ProcessSample sample{.CpuPercent = point.CpuPercent,
                               .WorkingSetBytes = point.WorkingSetBytes,
                               .PrivateBytes = point.PrivateBytes,
                               .HandleCount = point.HandleCount,
                               .ThreadCount = point.ThreadCount,
                               .GdiObjects = point.GdiObjects,
                               .UserObjects = point.UserObjects};
    return CounterValue(sample, counter);
}

class HistoryWindow final : public DialogHandler {
public:
    HistoryWindow(const ProcessHistory& history, const RuleStore& rules, ProcessKey key, AlertHistoryStore& alerts)
        : history_(history), rules_(rules), key_(key), offset_(UtcOffsetSeconds()), alerts_(alerts) {}

    void OnInit(HWND dialog) override {
        history_.Track(key_, track_);
        const std::wstring title = track_.ExeName + L" (" + std::to_wstring(key_.ProcessId) + L")";
        SetWindowTextW(dialog, FillPlaceholder(LoadStringResource(IDS_HISTORY_CAPTION), title).c_str());
        ChooseCounters();
        for (size_t i = 0; i < counters_.size(); ++i) {
            CreateLineChart(dialog, IDC_HISTORY_CHART + static_cast<int>(i));
        }
        Fill(dialog);
        SetTimer(dialog, IDT_HISTORY, kRefreshMs, nullptr);
        RECT client;
        GetClientRect(dialog, &client);
        Arrange(dialog, client.right, client.bottom);
    }

    bool OnCommand(HWND dialog, WORD id) override {
        if (id != IDC_HISTORY_EXPORT) {
            return DialogHandler::OnCommand(dialog, id);
        }
        std::wstring path;
        if (PickFileToSave(dialog, IDS_CSV_FILTER, L"csv", path) &&
            !WriteFileBytes(path, FormatHistoryCsv(track_, LoadStringResource(IDS_HISTORY_CSV_HEADER), offset_))) {
            DebugTrace(L"HistoryWindow::Export - Cannot write %ls", path.c_str());
        }
        return true;
    }

    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) override {
        switch (message) {
        case WM_SIZE: Arrange(dialog, LOWORD(lParam), HIWORD(lParam)); return true;
        case WM_TIMER:
            if (wParam == IDT_HISTORY && history_.PassCount() != shownPass_) {
                history_.Track(key_, track_);
                Fill(dialog);
            }
            return wParam == IDT_HISTORY;
        default: return false;
        }
    }

private:
    // The counters the matching enabled rules limit, with those limits; all seven when none does.
    void ChooseCounters() {
        const std::shared_ptr<const RuleList> rules = rules_.Snapshot();
        limits_.assign(kCounterCount, {});
        for (const ThresholdRule& rule : *rules) {
            if (rule.Enabled && WildcardMatch(track_.ExeName.c_str(), rule.ProcessPattern.c_str())) {
                for (size_t counter = 0; counter < kCounterCount; ++counter) {
                    if (CounterLimit(rule, counter) > 0.0) {
                        limits_[counter].push_back(CounterLimit(rule, counter));
                    }
                }
            }
        }
        for (size_t counter = 0; counter < kCounterCount; ++counter) {
            if (!limits_[counter].empty()) {
                counters_.push_back(counter);
            }
        }
        if (counters_.empty()) {
            for (size_t counter = 0; counter < kCounterCount; ++counter) {
                counters_.push_back(counter);
            }
        }
    }

    void Fill(HWND dialog) {
        shownPass_ = history_.PassCount();
        std::vector<double> markers;
        {
            AlertHistoryLock alerts(alerts_);
            for (size_t i = 0; i < alerts->Count(); ++i) {
                const AlertRecord& record = alerts->At(i);
                const double time = UnixTimeOf(record.Time, offset_);
                // An earlier process with the same identifier ended before this one's first point.
                if (record.PID == key_.ProcessId && record.Process == track_.ExeName && !track_.Points.empty() &&
                    time >= track_.Points.front().TimeSeconds - 1.0) {
                    markers.push_back(time);
                }
            }
        }
        for (size_t i = 0; i < counters_.size(); ++i) {
            ChartData data{.Title = LoadStringResource(IDS_CHART_HANDLES + static_cast<UINT>(counters_[i])),
                           .Bytes = counters_[i] == static_cast<size_t>(Counter::WorkingSet) ||
                                    counters_[i] == static_cast<size_t>(Counter::PrivateBytes),
                           .Limits = limits_[counters_[i]],
                           .Markers = markers,
                           .UtcOffsetSeconds = offset_};
            for (const HistoryPoint& point : track_.Points) {
                data.Times.push_back(point.TimeSeconds);
                data.Values.push_back(PointValue(point, counters_[i]));
            }
            SetLineChartData(GetDlgItem(dialog, IDC_HISTORY_CHART + static_cast<int>(i)), std::move(data));
        }
    }

    // Charts in two columns (one for a single chart) above the buttons, which keep to the corner.
    void Arrange(HWND dialog, int width, int height) {
        RECT button;
        GetWindowRect(GetDlgItem(dialog, IDCANCEL), &button);
        const int buttonWidth = button.right - button.left, buttonHeight = button.bottom - button.top;
        const int buttonTop = height - kMargin - buttonHeight;
        SetWindowPos(GetDlgItem(dialog, IDCANCEL), nullptr, width - kMargin - buttonWidth, buttonTop, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        RECT export_;
        GetWindowRect(GetDlgItem(dialog, IDC_HISTORY_EXPORT), &export_);
        SetWindowPos(GetDlgItem(dialog, IDC_HISTORY_EXPORT), nullptr,
                     width - 2 * kMargin - buttonWidth - (export_.right - export_.left), buttonTop, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        const int columns = counters_.size() > 1 ? 2 : 1;
        const int rows = (static_cast<int>(counters_.size()) + columns - 1) / columns;
        const int cellWidth = (width - kMargin) / columns, cellHeight = (buttonTop - kMargin) / std::max(rows, 1);
        for (size_t i = 0; i < counters_.size(); ++i) {
            const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
            SetWindowPos(GetDlgItem(dialog, IDC_HISTORY_CHART + static_cast<int>(i)), nullptr,
                         kMargin + column * cellWidth, kMargin + row * cellHeight, cellWidth - kMargin,
                         cellHeight - kMargin, SWP_NOZORDER);
        }
    }

    const ProcessHistory& history_;
    const RuleStore& rules_;
    const ProcessKey key_;
    const int offset_;
    AlertHistoryStore& alerts_;
    ProcessTrack track_;
    uint64_t shownPass_ = 0;
    std::vector<size_t> counters_;
    std::vector<std::vector<double>> limits_;
};

}  // namespace

void RunHistoryWindow(HWND owner, const ProcessHistory& history, const RuleStore& rules, const ProcessKey& key,
                      const std::wstring& processName, AlertHistoryStore& alerts) {
    ProcessTrack track;
    if (!history.Track(key, track)) {
        const std::wstring name = processName + L" (" + std::to_wstring(key.ProcessId) + L")";
        ShowMessage(owner, FillPlaceholder(LoadStringResource(IDS_NO_HISTORY), name), MB_OK | MB_ICONINFORMATION);
        return;
    }
    HistoryWindow window(history, rules, key, alerts);
    RunDialog(IDD_HISTORY, window, owner);
}

void RunHistoryWindowForAlertRow(HWND owner, HWND list, int row, const ProcessHistory& history, const RuleStore& rules,
                                 AlertHistoryStore& alerts) {
    if (row < 0) {
        return;
    }
    size_t pos = 0;
    ProcessKey key{0, 0};
    ReadCUnsigned(ListCellText(list, row, 1), pos, key.ProcessId);
    history.LatestWithId(key.ProcessId, key);
    RunHistoryWindow(owner, history, rules, key, ListCellText(list, row, 2), alerts);
}
