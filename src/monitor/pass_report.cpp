#include "monitor/pass_report.h"

#include <algorithm>

namespace {

bool Over(const ProcessSample& sample, const ThresholdRule& rule, size_t counter) {
    const double limit = CounterLimit(rule, counter);
    return limit > 0.0 && CounterValue(sample, counter) > limit;
}

}  // namespace

const char* CounterName(size_t counter) {
    static constexpr const char* kNames[kCounterCount] = {
        "handles", "working_set_bytes", "private_bytes", "cpu_percent", "threads", "gdi_objects", "user_objects"};
    return kNames[counter];
}

double CounterValue(const ProcessSample& sample, size_t counter) {
    switch (static_cast<Counter>(counter)) {
    case Counter::Handles: return sample.HandleCount;
    case Counter::WorkingSet: return static_cast<double>(sample.WorkingSetBytes);
    case Counter::PrivateBytes: return static_cast<double>(sample.PrivateBytes);
    case Counter::Cpu: return sample.CpuPercent;
    case Counter::Threads: return sample.ThreadCount;
    case Counter::Gdi: return sample.GdiObjects;
    case Counter::User: return sample.UserObjects;
    }
    return 0.0;
}

double CounterLimit(const ThresholdRule& rule, size_t counter) {
    switch (static_cast<Counter>(counter)) {
    case Counter::Handles: return rule.MaxHandles;
    case Counter::WorkingSet: return static_cast<double>(rule.MaxWorkingSetBytes);
    case Counter::PrivateBytes: return static_cast<double>(rule.MaxPrivateBytes);
    case Counter::Cpu: return rule.MaxCPU;
    case Counter::Threads: return rule.MaxThreads;
    case Counter::Gdi: return rule.MaxGDI;
    case Counter::User: return rule.MaxUSER;
    }
    return 0.0;
}

void PassReport::BeginMeasuring(const std::shared_ptr<const RuleList>& rules, size_t processCount) {
    Rules = rules;
    ProcessCount = static_cast<uint32_t>(processCount);
    Findings.assign(rules ? rules->size() : 0, RuleFindings{});
}

void PassReport::Matched(size_t ruleIndex, const ThresholdRule& rule, const ProcessSample& sample) {
    if (ruleIndex >= Findings.size()) {
        return;
    }
    RuleFindings& findings = Findings[ruleIndex];
    ++findings.MatchedProcesses;
    bool violating = false;
    for (size_t counter = 0; counter < kCounterCount; ++counter) {
        const double value = CounterValue(sample, counter);
        findings.MaxValues[counter] = std::max(findings.MaxValues[counter], value);
        if (Over(sample, rule, counter)) {
            findings.Violations.push_back({sample.ProcessId, sample.ExeName, counter, value, CounterLimit(rule, counter)});
            violating = true;
        }
    }
    findings.ViolatingProcesses += violating ? 1 : 0;
}

void PassReport::Alerted(size_t ruleIndex, const ThresholdRule& rule, const ProcessSample& sample) {
    if (ruleIndex >= Findings.size()) {
        return;
    }
    for (size_t counter = 0; counter < kCounterCount; ++counter) {
        Findings[ruleIndex].Alerts[counter] += Over(sample, rule, counter) ? 1 : 0;
    }
}
