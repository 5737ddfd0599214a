#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "monitor/process_sample.h"
#include "rules/rule_store.h"

// The seven limits of a rule, in the order of the rule record.
enum class Counter : uint8_t { Handles, WorkingSet, PrivateBytes, Cpu, Threads, Gdi, User };
inline constexpr size_t kCounterCount = 7;

// The counter's name in files read by other programs ("threads", "working_set_bytes").
const char* CounterName(size_t counter);
// Memory in bytes, CPU in percent, the rest as counts; a limit of 0 means none.
double CounterValue(const ProcessSample& sample, size_t counter);
double CounterLimit(const ThresholdRule& rule, size_t counter);

// One counter of one process over its rule's limit in this pass.
struct CounterViolation {
    uint32_t ProcessId = 0;
    std::wstring Process{};
    size_t CounterIndex = 0;
    double Value = 0.0;
    double Limit = 0.0;
};

// What a pass found for one rule.
struct RuleFindings {
    uint32_t MatchedProcesses = 0;
    uint32_t ViolatingProcesses = 0;
    // The largest value of each counter among the matched processes.
    std::array<double, kCounterCount> MaxValues{};
    // Alerts raised in this pass that name the counter.
    std::array<uint32_t, kCounterCount> Alerts{};
    std::vector<CounterViolation> Violations{};
};

// One turn of the monitor loop, handed to the pass observer at its end.
struct PassReport {
    // Unix time in seconds at the end of the turn.
    double TimeSeconds = 0.0;
    double DurationSeconds = 0.0;
    uint32_t PollIntervalMs = 0;
    // Processes in the pass's snapshot; 0 when none was taken.
    uint32_t ProcessCount = 0;
    bool Paused = false;
    // The rules the turn saw; null without a rule store.
    std::shared_ptr<const RuleList> Rules{};
    // One entry per rule when the pass measured processes; empty when it did not (paused, no
    // snapshot).
    std::vector<RuleFindings> Findings{};

    void BeginMeasuring(const std::shared_ptr<const RuleList>& rules, size_t processCount);
    // Called by the evaluation for every sample an enabled rule's pattern matches, and for every
    // alert it raises.
    void Matched(size_t ruleIndex, const ThresholdRule& rule, const ProcessSample& sample);
    void Alerted(size_t ruleIndex, const ThresholdRule& rule, const ProcessSample& sample);
};

// Told of every turn of the monitor loop, on the monitor thread.
class IPassObserver {
public:
    virtual ~IPassObserver() = default;
    virtual void OnPass(const PassReport& report) = 0;
};
