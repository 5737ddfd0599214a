#include "ui/process_table.h"

#include <algorithm>
#include <charconv>

#include "base/ascii_fold.h"
#include "monitor/pass_report.h"
#include "rules/threshold_rule.h"

namespace {

std::wstring WholePercent(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 0);
    return std::wstring(buffer, result.ptr);
}

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), FoldAscii);
    return text;
}

bool HoldsFolded(const std::wstring& name, std::wstring_view filter) {
    return std::search(name.begin(), name.end(), filter.begin(), filter.end(),
                       [](wchar_t a, wchar_t b) { return FoldAscii(a) == FoldAscii(b); }) != name.end();
}

}  // namespace

std::wstring ProcessCellText(const ProcessSample& sample, int column) {
    if (column == 0) {
        return sample.ExeName;
    }
    if (column == 1) {
        return std::to_wstring(sample.ProcessId);
    }
    if (column < 2 || column >= kProcessColumnCount) {
        return L"";
    }
    const auto counter = static_cast<Counter>(column - 2);
    if (sample.Excluded && counter != Counter::Threads) {
        return L"-";
    }
    switch (counter) {
    case Counter::WorkingSet: return std::to_wstring(sample.WorkingSetBytes / kBytesPerMB);
    case Counter::PrivateBytes: return std::to_wstring(sample.PrivateBytes / kBytesPerMB);
    case Counter::Cpu: return WholePercent(sample.CpuPercent);
    default: return std::to_wstring(static_cast<uint64_t>(CounterValue(sample, static_cast<size_t>(column - 2))));
    }
}

void ProcessOrder::Click(int column) {
    Reversed = column == Column && !Reversed;
    Column = column;
}

std::vector<size_t> ProcessRows(const std::vector<ProcessSample>& samples, const ProcessOrder& order,
                                std::wstring_view filter) {
    std::vector<size_t> rows;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (filter.empty() || HoldsFolded(samples[i].ExeName, filter)) {
            rows.push_back(i);
        }
    }
    // An excluded process counts as below every measured one in the counters it lacks.
    const auto value = [&order](const ProcessSample& sample) {
        return sample.Excluded && order.Column != 6 ? -1.0 : CounterValue(sample, static_cast<size_t>(order.Column - 2));
    };
    const auto before = [&](size_t a, size_t b) {
        const ProcessSample& x = samples[a];
        const ProcessSample& y = samples[b];
        if (order.Column == 0) {
            const std::wstring foldedX = Folded(x.ExeName), foldedY = Folded(y.ExeName);
            if (foldedX != foldedY) {
                return (foldedX < foldedY) != order.Reversed;
            }
        } else if (order.Column == 1) {
            return (x.ProcessId > y.ProcessId) != order.Reversed;
        } else if (value(x) != value(y)) {
            return (value(x) > value(y)) != order.Reversed;
        }
        return x.ProcessId < y.ProcessId;
    };
    std::sort(rows.begin(), rows.end(), before);
    return rows;
}
