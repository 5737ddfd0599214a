#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "app/shared_value.h"

inline constexpr uint32_t kActionBalloon = 1;
inline constexpr uint32_t kActionLog = 2;
inline constexpr uint32_t kActionSound = 4;

struct PlacementRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const PlacementRect&) const = default;
};

// The global settings. PollIntervalMs and Exclusions live in the monitor engine, which reads them
// at every wait and pass; LoadSettings and SaveSettings treat them as part of this record.
// Numbers are single words written whole; the paths are replaced whole (SharedValue).
struct AppSettings {
    std::atomic<uint32_t> AlertActions{kActionBalloon | kActionLog};
    std::atomic<uint32_t> NotificationThrottleSec{30};
    std::atomic<uint32_t> UpdateCheckIntervalHours{24};
    std::atomic<bool> IncludeBetas{true};
    SharedValue<std::wstring> LogFilePath;
    SharedValue<std::wstring> SoundFilePath;
    SharedValue<PlacementRect> MainDialogPlacement;
};

extern AppSettings appSettings;
