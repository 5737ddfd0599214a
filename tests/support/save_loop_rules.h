#pragma once

#include <string>

#include "rules/rule_store.h"

// The two lists the rule_save_loop tool saves in turn; a test that kills it expects one of them whole.
inline RuleList SaveLoopRules(bool second) {
    RuleList rules;
    for (uint32_t i = 1; i <= (second ? 5000u : 3000u); ++i) {
        rules.push_back({.RuleId = i,
                         .ProcessPattern = (second ? L"second-" : L"first-") + std::to_wstring(i) + L".exe",
                         .MaxHandles = i,
                         .MaxWorkingSetBytes = i * kBytesPerMB,
                         .MaxCPU = 50.5});
    }
    return rules;
}
