#include "monitor/rule_evaluation.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <iterator>
#include <utility>

#include "base/debug_trace.h"
#include "rules/wildcard_match.h"

namespace {

void AppendFragment(std::wstring& text, const wchar_t* format, ...) {
    // Fits every fragment: integers are bounded and a CPU limit is printed only below 100.
    wchar_t fragment[128];
    va_list args;
    va_start(args, format);
    const int length = std::vswprintf(fragment, std::size(fragment), format, args);
    va_end(args);
    if (length <= 0) {
        return;
    }
    if (!text.empty()) {
        text += L"; ";
    }
    text.append(fragment, static_cast<size_t>(length));
}

unsigned long long WholeMB(uint64_t bytes) {
    return static_cast<unsigned long long>(bytes / kBytesPerMB);
}

// A creation time of 0 means the process could not be measured; identity then rests on the id.
bool SameProcess(uint64_t creationA, uint64_t creationB) {
    return creationA == 0 || creationB == 0 || creationA == creationB;
}

}  // namespace

bool BuildViolationText(const ProcessSample& sample, const ThresholdRule& rule, std::wstring& text) {
    text.clear();
    if (rule.MaxHandles != 0 && sample.HandleCount > rule.MaxHandles) {
        AppendFragment(text, L"Handles: %u > %u", sample.HandleCount, rule.MaxHandles);
    }
    if (rule.MaxWorkingSetBytes != 0 && sample.WorkingSetBytes > rule.MaxWorkingSetBytes) {
        AppendFragment(text, L"Working Set: %llu MB > %llu MB", WholeMB(sample.WorkingSetBytes),
                       WholeMB(rule.MaxWorkingSetBytes));
    }
    if (rule.MaxPrivateBytes != 0 && sample.PrivateBytes > rule.MaxPrivateBytes) {
        AppendFragment(text, L"Private Bytes: %llu MB > %llu MB", WholeMB(sample.PrivateBytes),
                       WholeMB(rule.MaxPrivateBytes));
    }
    if (rule.MaxCPU > 0.0 && sample.CpuPercent > rule.MaxCPU) {
        AppendFragment(text, L"CPU: %.1f%% > %.1f%%", sample.CpuPercent, rule.MaxCPU);
    }
    if (rule.MaxThreads != 0 && sample.ThreadCount > rule.MaxThreads) {
        AppendFragment(text, L"Threads: %u > %u", sample.ThreadCount, rule.MaxThreads);
    }
    if (rule.MaxGDI != 0 && sample.GdiObjects > rule.MaxGDI) {
        AppendFragment(text, L"GDI Objects: %u > %u", sample.GdiObjects, rule.MaxGDI);
    }
    if (rule.MaxUSER != 0 && sample.UserObjects > rule.MaxUSER) {
        AppendFragment(text, L"USER Objects: %u > %u", sample.UserObjects, rule.MaxUSER);
    }
    return !text.empty();
}

void EvaluateRules(const std::vector<ProcessSample>& samples, const RuleList& rules, AlertCooldowns& alertCooldowns,
                   const MonitorClock& clock, IAlertSink* sink, PassReport* report) {
    if (samples.empty() || rules.empty()) {
        return;
    }
    std::wstring text;
    for (const ProcessSample& sample : samples) {
        if (sample.Excluded) {
            continue;
        }
        for (const ThresholdRule& rule : rules) {
            if (!rule.Enabled || !WildcardMatch(sample.ExeName.c_str(), rule.ProcessPattern.c_str())) {
                continue;
            }
            const size_t ruleIndex = static_cast<size_t>(&rule - rules.data());
            if (report != nullptr) {
                report->Matched(ruleIndex, rule, sample);
            }
            if (!BuildViolationText(sample, rule, text)) {
                continue;
            }
            const uint64_t now = clock.TickCount();
            const CooldownKey key{sample.ProcessId, rule.RuleId};
            const auto entry = alertCooldowns.find(key);
            if (entry != alertCooldowns.end() && SameProcess(entry->second.CreationTime, sample.CreationTime) &&
                now - entry->second.LastAlertTick < static_cast<uint64_t>(rule.CooldownSec) * 1000) {
                continue;
            }
            alertCooldowns.insert_or_assign(key, CooldownEntry{now, sample.CreationTime});
            RaiseAlert(sample.ProcessId, sample.ExeName, rule.RuleId, text, clock, sink);
            if (report != nullptr) {
                report->Alerted(ruleIndex, rule, sample);
            }
        }
    }
}

void RaiseAlert(uint32_t processId, const std::wstring& processName, uint32_t ruleId, const std::wstring& violation,
                const MonitorClock& clock, IAlertSink* sink) {
    DebugTrace(L"ALERT: PID %u (%ls) Rule %u: %ls", processId, processName.c_str(), ruleId, violation.c_str());
    if (sink == nullptr) {
        return;
    }
    AlertRecord record;
    record.Time = clock.LocalTime();
    record.PID = processId;
    record.Process = processName;
    record.RuleId = ruleId;
    record.Violation = violation;
    sink->OnAlert(record);
}

void PruneCooldowns(AlertCooldowns& alertCooldowns, const std::vector<ProcessSample>& samples) {
    if (alertCooldowns.empty()) {
        return;
    }
    std::vector<std::pair<uint32_t, uint64_t>> live;
    live.reserve(samples.size());
    for (const ProcessSample& sample : samples) {
        live.emplace_back(sample.ProcessId, sample.CreationTime);
    }
    std::sort(live.begin(), live.end());
    std::erase_if(alertCooldowns, [&live](const auto& item) {
        const auto found =
            std::lower_bound(live.begin(), live.end(), std::make_pair(item.first.ProcessId, uint64_t{0}));
        return found == live.end() || found->first != item.first.ProcessId ||
               !SameProcess(item.second.CreationTime, found->second);
    });
}
