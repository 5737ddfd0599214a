#include "monitor/rule_evaluation.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <iterator>
#include <utility>

#include "base/debug_trace.h"
#include "rules/wildcard_match.h"
#include "settings/alert_actions.h"

namespace {

void AppendFragment(std::wstring& text, const wchar_t* format, ...) {
    // Fits every fragment: integers are bounded and "%.1f" of the largest CPU limit has 310 digits.
    wchar_t fragment[512];
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

// The fragment table's rows are the counters, in the order their fragments are joined.
constexpr int kHandles = static_cast<int>(Counter::Handles);
constexpr int kWorkingSet = static_cast<int>(Counter::WorkingSet);
constexpr int kPrivateBytes = static_cast<int>(Counter::PrivateBytes);
constexpr int kCpu = static_cast<int>(Counter::Cpu);
constexpr int kThreads = static_cast<int>(Counter::Threads);
constexpr int kGdi = static_cast<int>(Counter::Gdi);
constexpr int kLimitRows = static_cast<int>(kCounterCount);

constexpr uint8_t RowBit(int row) {
    return static_cast<uint8_t>(1u << row);
}

bool HasLimit(const ThresholdRule& rule, int row) {
    return CounterLimit(rule, row) > 0.0;
}

bool IsOver(const ProcessSample& sample, const ThresholdRule& rule, int row) {
    return CounterValue(sample, row) > CounterLimit(rule, row);
}

// One row's fragment, the value and the limit joined by `relation` (">" over, "<=" back under).
void AppendRow(std::wstring& text, int row, const ProcessSample& s, const ThresholdRule& r, const wchar_t* relation) {
    switch (row) {
    case kHandles: AppendFragment(text, L"Handles: %u %ls %u", s.HandleCount, relation, r.MaxHandles); break;
    case kWorkingSet:
        AppendFragment(text, L"Working Set: %llu MB %ls %llu MB", WholeMB(s.WorkingSetBytes), relation,
                       WholeMB(r.MaxWorkingSetBytes));
        break;
    case kPrivateBytes:
        AppendFragment(text, L"Private Bytes: %llu MB %ls %llu MB", WholeMB(s.PrivateBytes), relation,
                       WholeMB(r.MaxPrivateBytes));
        break;
    case kCpu: AppendFragment(text, L"CPU: %.1f%% %ls %.1f%%", s.CpuPercent, relation, r.MaxCPU); break;
    case kThreads: AppendFragment(text, L"Threads: %u %ls %u", s.ThreadCount, relation, r.MaxThreads); break;
    case kGdi: AppendFragment(text, L"GDI Objects: %u %ls %u", s.GdiObjects, relation, r.MaxGDI); break;
    default: AppendFragment(text, L"USER Objects: %u %ls %u", s.UserObjects, relation, r.MaxUSER); break;
    }
}

// Only the thread count comes from the snapshot itself; every other counter reads 0 in a pass that
// could not open the process, which is no sign of being back under.
bool MeasuredFor(const ProcessSample& sample, uint8_t limits) {
    return sample.CreationTime != 0 || (limits & ~RowBit(kThreads)) == 0;
}

// An episode that ends without a pass under its limits (process gone, rule off) leaves a trace only.
void TraceClosedEpisode(const CooldownKey& key) {
    DebugTrace(L"EvaluateRules - Episode of PID %u rule %u ended", key.ProcessId, key.RuleId);
}

// A pair without a violation ends its episode; one that alerted is announced back under first, once
// a pass has measured the process.
void EndEpisode(AlertEpisodes& episodes, AlertEpisodes::iterator episode, const ProcessSample& sample,
                const ThresholdRule& rule, const MonitorClock& clock, IAlertSink* sink) {
    const uint8_t alerted = episode->second.AlertedLimits;
    if (alerted != 0 && !MeasuredFor(sample, alerted)) {
        episode->second.Seen = true;
        return;
    }
    std::wstring text;
    if ((rule.AlertActions & kActionNotifyBackUnder) != 0 && BuildBackUnderText(sample, rule, alerted, text)) {
        RaiseAlert(sample.ProcessId, sample.ExeName, rule.RuleId, text, clock, sink, true);
    }
    episodes.erase(episode);
}

void CloseUnseenEpisodes(AlertEpisodes& episodes) {
    for (auto episode = episodes.begin(); episode != episodes.end();) {
        if (episode->second.Seen) {
            episode->second.Seen = false;
            ++episode;
        } else {
            TraceClosedEpisode(episode->first);
            episode = episodes.erase(episode);
        }
    }
}

}  // namespace

uint8_t ExceededLimits(const ProcessSample& sample, const ThresholdRule& rule) {
    uint8_t limits = 0;
    for (int row = 0; row < kLimitRows; ++row) {
        if (HasLimit(rule, row) && IsOver(sample, rule, row)) {
            limits |= RowBit(row);
        }
    }
    return limits;
}

bool BuildViolationText(const ProcessSample& sample, const ThresholdRule& rule, std::wstring& text) {
    text.clear();
    const uint8_t limits = ExceededLimits(sample, rule);
    for (int row = 0; row < kLimitRows; ++row) {
        if (limits & RowBit(row)) {
            AppendRow(text, row, sample, rule, L">");
        }
    }
    return !text.empty();
}

bool BuildBackUnderText(const ProcessSample& sample, const ThresholdRule& rule, uint8_t limits, std::wstring& text) {
    text.clear();
    for (int row = 0; row < kLimitRows; ++row) {
        if ((limits & RowBit(row)) && HasLimit(rule, row)) {
            AppendRow(text, row, sample, rule, L"<=");
        }
    }
    if (text.empty()) {
        return false;
    }
    text.insert(0, L"Back under: ");
    return true;
}

void EvaluateRules(const std::vector<ProcessSample>& samples, const RuleList& rules, AlertCooldowns& alertCooldowns,
                   AlertEpisodes& alertEpisodes, const MonitorClock& clock, IAlertSink* sink, PassReport* report) {
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
            const CooldownKey key{sample.ProcessId, rule.RuleId};
            auto episode = alertEpisodes.find(key);
            if (episode != alertEpisodes.end() && !SameProcess(episode->second.CreationTime, sample.CreationTime)) {
                TraceClosedEpisode(key);  // the identifier now belongs to another process
                alertEpisodes.erase(episode);
                episode = alertEpisodes.end();
            }
            const uint8_t exceeded = ExceededLimits(sample, rule);
            if (exceeded == 0) {
                if (episode != alertEpisodes.end()) {
                    EndEpisode(alertEpisodes, episode, sample, rule, clock, sink);
                }
                continue;
            }
            const uint64_t now = clock.TickCount();
            if (episode == alertEpisodes.end()) {
                episode = alertEpisodes.emplace(key, AlertEpisode{now, sample.CreationTime}).first;
            }
            episode->second.Seen = true;
            if (episode->second.CreationTime == 0) {
                episode->second.CreationTime = sample.CreationTime;
            }
            if (now - episode->second.StartTick < static_cast<uint64_t>(rule.SustainSec) * 1000) {
                continue;
            }
            const auto entry = alertCooldowns.find(key);
            if (entry != alertCooldowns.end() && SameProcess(entry->second.CreationTime, sample.CreationTime) &&
                now - entry->second.LastAlertTick < static_cast<uint64_t>(rule.CooldownSec) * 1000) {
                continue;
            }
            alertCooldowns.insert_or_assign(key, CooldownEntry{now, sample.CreationTime});
            episode->second.AlertedLimits |= exceeded;
            BuildViolationText(sample, rule, text);
            RaiseAlert(sample.ProcessId, sample.ExeName, rule.RuleId, text, clock, sink);
            if (report != nullptr) {
                report->Alerted(ruleIndex, rule, sample);
            }
        }
    }
    CloseUnseenEpisodes(alertEpisodes);
}

void RaiseAlert(uint32_t processId, const std::wstring& processName, uint32_t ruleId, const std::wstring& violation,
                const MonitorClock& clock, IAlertSink* sink, bool recovery) {
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
    record.Recovery = recovery;
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
