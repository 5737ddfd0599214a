#include <gtest/gtest.h>

#include "rules/rule_presets.h"

namespace {

constexpr uint64_t kFourGiB = 4294967296ull;

ThresholdRule Expected(uint32_t id, const wchar_t* pattern, uint32_t cooldown) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.ProcessPattern = pattern;
    rule.CooldownSec = cooldown;
    return rule;
}

}  // namespace

TEST(RulePresets, EachPresetAppendsItsRulesWithFreshIds) {
    RuleStore store;
    ASSERT_EQ(RulePresets().size(), 6u);
    for (const RulePreset& preset : RulePresets()) {
        EXPECT_EQ(preset.LabelStringId, preset.MenuId - 40001 + 216);
        ASSERT_TRUE(AddRulePreset(store, preset.MenuId));
    }
    ASSERT_TRUE(AddRulePreset(store, 40001));  // a second time: same rules, new ids
    EXPECT_FALSE(AddRulePreset(store, 40007));

    RuleList expected;
    for (uint32_t id = 1; id <= 3; ++id) {
        ThresholdRule browser = Expected(id, id == 1 ? L"chrome.exe" : id == 2 ? L"firefox.exe" : L"msedge.exe", 120);
        browser.MaxHandles = 5000;
        browser.MaxWorkingSetBytes = kFourGiB;
        browser.MaxPrivateBytes = kFourGiB;
        expected.push_back(browser);
    }
    expected.push_back(Expected(4, L"*", 300));
    expected.back().MaxCPU = 95.0;
    expected.push_back(Expected(5, L"*", 120));
    expected.back().MaxHandles = 20000;
    expected.push_back(Expected(6, L"*", 120));
    expected.back().MaxWorkingSetBytes = kFourGiB;
    expected.back().MaxPrivateBytes = kFourGiB;
    expected.push_back(Expected(7, L"*", 120));
    expected.back().MaxGDI = 8000;
    expected.push_back(Expected(8, L"*", 60));
    expected.back().MaxThreads = 500;
    for (uint32_t i = 0; i < 3; ++i) {
        expected.push_back(expected[i]);
        expected.back().RuleId = 9 + i;
    }
    EXPECT_EQ(*store.Snapshot(), expected);
    EXPECT_EQ(FindRulePreset(40006)->Rules.front().MaxThreads, 500u);
    EXPECT_EQ(FindRulePreset(40000), nullptr);
}
