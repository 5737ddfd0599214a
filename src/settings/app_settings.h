#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/shared_value.h"
#include "settings/alert_actions.h"

// The one home of every default the settings and the rule record start from.
inline constexpr uint32_t kDefaultPollIntervalMs = 30000;
inline constexpr uint32_t kDefaultAlertActions = kActionBalloon | kActionLog;
inline constexpr uint32_t kDefaultNotificationThrottleSec = 30;
inline constexpr uint32_t kDefaultUpdateCheckIntervalHours = 24;
inline constexpr bool kDefaultIncludeBetas = true;

struct PlacementRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const PlacementRect&) const = default;
};

using ExclusionList = std::vector<std::wstring>;

// The global settings. Numbers are single words written whole; the paths and the exclusion list
// are replaced whole (SharedValue). The monitor thread reads PollIntervalMs at every wait and
// Exclusions at every pass.
struct AppSettings {
    std::atomic<uint32_t> PollIntervalMs{kDefaultPollIntervalMs};
    std::atomic<uint32_t> AlertActions{kDefaultAlertActions};
    std::atomic<uint32_t> NotificationThrottleSec{kDefaultNotificationThrottleSec};
    std::atomic<uint32_t> UpdateCheckIntervalHours{kDefaultUpdateCheckIntervalHours};
    std::atomic<bool> IncludeBetas{kDefaultIncludeBetas};
    SharedValue<std::wstring> LogFilePath;
    SharedValue<std::wstring> SoundFilePath;
    // The metrics file rewritten after every pass; empty means none.
    SharedValue<std::wstring> MetricsFilePath;
    SharedValue<PlacementRect> MainDialogPlacement;
    SharedValue<ExclusionList> Exclusions;
};
