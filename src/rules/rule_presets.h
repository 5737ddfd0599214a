#pragma once

#include <cstddef>
#include <vector>

#include "rules/rule_store.h"

// A ready-made rule set. Its rules carry id 0: the store gives each a fresh id when the set is added.
struct RulePreset {
    RuleList Rules;
};

inline constexpr size_t kRulePresetCount = 6;

// The presets in menu order: browsers, runaway CPU, handle leak, memory hog, GDI leak, thread bomb.
const std::vector<RulePreset>& RulePresets();

// Appends the rules of the preset at that index in order with fresh ids, as one change; the caller
// saves. False (and nothing added) when the index names no preset.
bool AddRulePreset(RuleStore& store, size_t index);
