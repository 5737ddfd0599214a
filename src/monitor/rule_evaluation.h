#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "monitor/alert_record.h"
#include "monitor/pass_report.h"
#include "monitor/process_sample.h"
#include "rules/rule_store.h"

struct CooldownKey {
    uint32_t ProcessId = 0;
    uint32_t RuleId = 0;
    auto operator<=>(const CooldownKey&) const = default;
};

// Tick of the last alert for a (process, rule) pair, and the creation time of the process it was
// raised for, so that a new process reusing the identifier does not inherit the cooldown.
struct CooldownEntry {
    uint64_t LastAlertTick = 0;
    uint64_t CreationTime = 0;
};

using AlertCooldowns = std::map<CooldownKey, CooldownEntry>;

// A run of passes in which a (process, rule) pair was over the rule's limits, kept only while it
// runs: from the first violating pass until a pass without a violation or the end of the process.
struct AlertEpisode {
    uint64_t StartTick = 0;
    uint64_t CreationTime = 0;
    // The limits named by the episode's alerts (bits in table order); none while it has not alerted.
    uint8_t AlertedLimits = 0;
    // Evaluated in the current pass; an episode no pass evaluated any more is closed.
    bool Seen = false;
};

using AlertEpisodes = std::map<CooldownKey, AlertEpisode>;

// The monitor thread's time sources: a millisecond tick and the local wall-clock time.
struct MonitorClock {
    uint64_t (*TickCount)();
    AlertTime (*LocalTime)();
};

// The exceeded limits of one rule for one sample, joined by "; " in fixed order; empty when none.
// Reuses the string's storage, so a pair without a violation never allocates.
bool BuildViolationText(const ProcessSample& sample, const ThresholdRule& rule, std::wstring& text);

// The limits of the rule the sample exceeds, one bit per row of the fragment table (handles first).
uint8_t ExceededLimits(const ProcessSample& sample, const ThresholdRule& rule);

// "Back under: " and the fragments of the given limits with the value now and the limit, e.g.
// "Back under: Working Set: 1830 MB <= 2048 MB"; limits the rule no longer has are left out.
bool BuildBackUnderText(const ProcessSample& sample, const ThresholdRule& rule, uint8_t limits, std::wstring& text);

// Compares every sample with every enabled rule whose pattern matches it and raises an alert for
// each pair violated for the rule's SustainSec and outside its cooldown; once such a pair is back
// under, a recovery record when the rule asks for one. Excluded samples raise nothing. Episodes that
// no pass evaluates any more (process gone, rule disabled or removed) are closed with a trace. A
// given report is told of every matched pair and every alert.
void EvaluateRules(const std::vector<ProcessSample>& samples, const RuleList& rules, AlertCooldowns& alertCooldowns,
                   AlertEpisodes& alertEpisodes, const MonitorClock& clock, IAlertSink* sink,
                   PassReport* report = nullptr);

// Traces the alert and, when a sink is attached, hands it an AlertRecord stamped with local time.
void RaiseAlert(uint32_t processId, const std::wstring& processName, uint32_t ruleId, const std::wstring& violation,
                const MonitorClock& clock, IAlertSink* sink, bool recovery = false);

// Forgets the cooldowns of processes that have left the snapshot or whose identifier now
// belongs to a process with another creation time.
void PruneCooldowns(AlertCooldowns& alertCooldowns, const std::vector<ProcessSample>& samples);
