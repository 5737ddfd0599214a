#pragma once

#include <cstdint>
#include <vector>

#include "rules/rule_store.h"

// A ready-made rule set of the main dialog's preset menu. Its rules carry id 0: the store gives
// each a fresh id when the set is added.
struct RulePreset {
    uint32_t MenuId;         // popup menu item, IDM_PRESET_*
    uint32_t LabelStringId;  // its label in the string table, IDS_PRESET_*
    RuleList Rules;
};

// The six presets in menu order.
const std::vector<RulePreset>& RulePresets();

// The preset with that menu id, or nullptr.
const RulePreset* FindRulePreset(uint32_t menuId);

// Appends the preset's rules in order with fresh ids, as one change; the caller saves. False (and
// nothing added) when the id names no preset.
bool AddRulePreset(RuleStore& store, uint32_t menuId);
