#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/handles_win.h"
#include "monitor/cpu_usage.h"
#include "monitor/process_history.h"
#include "monitor/process_list_query_win.h"
#include "monitor/process_sample.h"
#include "monitor/rule_evaluation.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"

class IAlertSink;

// The monitoring engine: a background thread that polls every PollIntervalMs of the settings,
// measures every process, evaluates those some enabled rule concerns and hands violations to the
// sink.
class MonitorEngine {
public:
    MonitorEngine();
    // Stops the thread; a pass that outlives every bounded wait ends the process instead of
    // running on over freed state.
    ~MonitorEngine();
    MonitorEngine(const MonitorEngine&) = delete;
    MonitorEngine& operator=(const MonitorEngine&) = delete;

    // Start-up wires the rule list, the sink and the settings before Start; the engine owns none.
    void Attach(RuleStore* rules, IAlertSink* sink, const AppSettings* settings);
    // Told of every loop turn, paused ones included; set before Start, not owned.
    void SetPassObserver(IPassObserver* observer) { passObserver_ = observer; }
    void Start();
    // True when no monitor thread is left; false when a pass outlived the wait and the state is kept.
    bool Stop();

    // Every pass's counters per process; the UI copies from it on its own thread.
    const ProcessHistory& History() const { return history_; }

    // Written by UI threads, read by the monitor thread once per loop turn.
    std::atomic<bool> paused{false};

private:
    // Tests and the pass benchmark run single passes and look at the per-process maps.
    friend struct MonitorEngineProbe;

    uint32_t MonitorLoop();
    void RunTurn();
    void PollOnce(PassReport* report = nullptr);
    // Fills the pass's samples from the system's process list, or from the toolhelp snapshot and
    // per-process calls when the list cannot be had; false when the pass must end.
    bool SampleProcesses(std::vector<ProcessSample>& samples, const RuleList& ruleList,
                         const ExclusionList& exclusionList);
    // The system's list into samples, every counter filled; Failed (traced once) sends the pass
    // to the toolhelp path.
    ProcessListResult ReadProcessList(std::vector<ProcessSample>& samples);
    void TraceFallbackOnce(const wchar_t* reason, int32_t status);
    bool SnapshotProcesses(std::vector<ProcessSample>& samples);
    void CollectCounters(std::vector<ProcessSample>& samples, const RuleList& ruleList,
                         const ExclusionList& exclusionList);

    RuleStore* rules_ = nullptr;
    IAlertSink* sink_ = nullptr;
    IPassObserver* passObserver_ = nullptr;
    const AppSettings* settings_ = nullptr;
    UniqueHandle thread_;
    UniqueHandle stopEvent_;
    // Touched only by the monitor thread while it runs, and by Stop once it has ended.
    CpuHistory cpuHistory_;
    AlertCooldowns alertCooldowns_;
    AlertEpisodes alertEpisodes_;
    uint32_t processorCount_ = 1;
    // The process list query (empty without one), and the buffer it fills, kept and grown across passes.
    ProcessListQuery processListQuery_ = SystemProcessListQuery();
    std::vector<std::byte> processList_;
    bool fallbackTraced_ = false;
    ProcessHistory history_;
};
