#pragma once

#include <cstdint>
#include <string>

#include "settings/app_settings.h"

// One monitoring rule. Memory limits stay in bytes so comparisons with measured counters are exact;
// megabytes exist only at the edges (editor, files).
struct ThresholdRule {
    uint32_t RuleId = 0;
    std::wstring ProcessPattern{};
    bool Enabled = true;
    uint32_t MaxHandles = 0;
    uint64_t MaxWorkingSetBytes = 0;
    uint64_t MaxPrivateBytes = 0;
    double MaxCPU = 0.0;
    uint32_t MaxThreads = 0;
    uint32_t MaxGDI = 0;
    uint32_t MaxUSER = 0;
    uint32_t AlertActions = kDefaultAlertActions;
    uint32_t CooldownSec = 60;
    // A pair alerts only once the rule has been violated at every pass for this long; 0 at once.
    uint32_t SustainSec = 0;

    bool operator==(const ThresholdRule&) const = default;
};

inline constexpr uint64_t kBytesPerMB = 1048576;
