#pragma once

#include <cstdint>

#include "res/resource.h"
#include "settings/alert_actions.h"

// Each alert action the user switches: its bit, its command in the main dialog's settings menu
// and its check box on the settings page.
struct ActionToggle {
    uint16_t menuId;
    uint32_t bit;
    int checkBox;
};

inline constexpr ActionToggle kActionToggles[] = {
    {IDM_SETTINGS_TRAY_NOTIFICATIONS, kActionBalloon, IDC_TRAY_NOTIFICATIONS},
    {IDM_SETTINGS_LOG_TO_FILE, kActionLog, IDC_LOG_TO_FILE},
    {IDM_SETTINGS_PLAY_SOUND, kActionSound, IDC_PLAY_SOUND},
};
