#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/shared_value.h"

class RuleStore;
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
};

extern MonitorEngine monitorEngine;
