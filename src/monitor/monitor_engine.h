#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/shared_value.h"
#include "monitor/cpu_usage.h"
#include "monitor/process_sample.h"
#include "monitor/rule_evaluation.h"
#include "rules/rule_store.h"

class IAlertSink;

using ExclusionList = std::vector<std::wstring>;

// The one monitoring engine: a background thread that polls every pollIntervalMs, measures the
// processes some enabled rule concerns and hands violations to the sink.
class MonitorEngine {
public:
    MonitorEngine();
    ~MonitorEngine();
    MonitorEngine(const MonitorEngine&) = delete;
    MonitorEngine& operator=(const MonitorEngine&) = delete;

    // Start-up wires the rule list and the sink before Start; the engine owns neither.
    void Attach(RuleStore* rules, IAlertSink* sink);
    void Start();
    void Stop();

    // Written by UI threads, read by the monitor thread once per loop turn.
    std::atomic<bool> paused{false};
    std::atomic<uint32_t> pollIntervalMs{30000};
    // The AppSettings exclusion list; replaced whole by the exclusions dialog and Reset Settings.
    SharedValue<ExclusionList> exclusions;

private:
    // Tests and the pass benchmark run single passes and look at the per-process maps.
    friend struct MonitorEngineProbe;

    uint32_t MonitorLoop();
    void PollOnce();
    bool SnapshotProcesses(std::vector<ProcessSample>& samples);
    void CollectCounters(std::vector<ProcessSample>& samples, const RuleList& ruleList,
                         const ExclusionList& exclusionList);

    RuleStore* rules = nullptr;
    // Win32 HANDLEs, held as void* so this header stays free of <windows.h>.
    void* thread = nullptr;
    void* stopEvent = nullptr;
    // Touched only by the monitor thread while it runs, and by Stop once it has ended.
    CpuHistory cpuHistory;
    AlertCooldowns alertCooldowns;
    IAlertSink* sink = nullptr;
    uint32_t processorCount = 1;
};

extern MonitorEngine monitorEngine;
