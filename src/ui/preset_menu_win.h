#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

// The presets popup below the "Presets..." button: one item per rule preset, in the presets' order.
// The index of the chosen preset; none when the menu was dismissed.
std::optional<size_t> ChooseRulePreset(HWND dialog, HWND button);
