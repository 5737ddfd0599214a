#pragma once

#include <string>

#include "rules/rule_store.h"

// The two lists the save-loop tool writes in turn; a test that kills it expects one of them whole.
inline RuleList SaveLoopRules(bool second) {
    RuleList rules;
    const uint32_t count = second ? 5000 : 3000;
    for (uint32_t i = 1; i <= count; ++i) {
        ThresholdRule rule;
        rule.RuleId = i;
        rule.ProcessPattern = (second ? L"second-" : L"first-") + std::to_wstring(i) + L".exe";
        rule.MaxHandles = i;
        rule.MaxWorkingSetBytes = uint64_t{i} * 1048576;
        rule.MaxCPU = 50.5;
        rules.push_back(rule);
    }
    return rules;
}
