#include <gtest/gtest.h>

#include "rules/rule_presets.h"

TEST(RulePresets, EachPresetAppendsItsRulesWithFreshIdsAndAgainWhenChosenTwice) {
    RuleStore store;
    for (uint32_t i = 0; i < 6; ++i) {
        ASSERT_TRUE(AddRulePreset(store, 40001 + i));
    }
    ASSERT_TRUE(AddRulePreset(store, 40001));
    EXPECT_FALSE(AddRulePreset(store, 40007));

    constexpr uint64_t k4G = 4096 * kBytesPerMB;
    RuleList expected;
    for (const wchar_t* browser : {L"chrome.exe", L"firefox.exe", L"msedge.exe"}) {
        expected.push_back({.ProcessPattern = browser,
                            .MaxHandles = 5000,
                            .MaxWorkingSetBytes = k4G,
                            .MaxPrivateBytes = k4G,
                            .CooldownSec = 120});
    }
    expected.insert(expected.end(),
                    {{.ProcessPattern = L"*", .MaxCPU = 95.0, .CooldownSec = 300},
                     {.ProcessPattern = L"*", .MaxHandles = 20000, .CooldownSec = 120},
                     {.ProcessPattern = L"*", .MaxWorkingSetBytes = k4G, .MaxPrivateBytes = k4G, .CooldownSec = 120},
                     {.ProcessPattern = L"*", .MaxGDI = 8000, .CooldownSec = 120},
                     {.ProcessPattern = L"*", .MaxThreads = 500}});
    for (size_t i = 0; i < 3; ++i) {
        expected.push_back(expected[i]);  // the browsers again
    }
    for (uint32_t i = 0; i < expected.size(); ++i) {
        expected[i].RuleId = i + 1;
    }
    EXPECT_EQ(*store.Snapshot(), expected);
}
