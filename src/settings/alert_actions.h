#pragma once

#include <cstdint>

// The AlertActions bit mask, global and per rule.
inline constexpr uint32_t kActionBalloon = 1;
inline constexpr uint32_t kActionLog = 2;
inline constexpr uint32_t kActionSound = 4;
// Not an action of the alert itself: a notice when the process is back under the limits it exceeded.
inline constexpr uint32_t kActionNotifyBackUnder = 8;
