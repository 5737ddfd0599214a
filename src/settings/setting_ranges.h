#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

// The one home of the values each number setting takes: the registry codec accepts only these,
// the settings page keeps a field outside them from being applied, the menu offers them.
struct SettingRange {
    uint32_t Min;
    uint32_t Max;
    constexpr bool Contains(uint32_t value) const { return value >= Min && value <= Max; }
};

inline constexpr SettingRange kPollIntervalMsRange{500, 30000};
inline constexpr SettingRange kNotificationThrottleSecRange{1, 3600};
// Daily, every three days, weekly: the update frequencies in the order the menu lists them.
inline constexpr uint32_t kUpdateCheckIntervalsHours[] = {24, 72, 168};

constexpr bool IsOfferedUpdateInterval(uint32_t hours) {
    return std::find(std::begin(kUpdateCheckIntervalsHours), std::end(kUpdateCheckIntervalsHours), hours) !=
           std::end(kUpdateCheckIntervalsHours);
}
