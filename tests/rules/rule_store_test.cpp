#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "rules/rule_store.h"

namespace {

ThresholdRule Rule(uint32_t id, const wchar_t* pattern, uint32_t handles = 0) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.ProcessPattern = pattern;
    rule.MaxHandles = handles;
    return rule;
}

}  // namespace

TEST(RuleStore, ListOperationsActOnTheFirstRuleWithAnIdAndKeepOrder) {
    RuleStore store;
    EXPECT_EQ(store.NewRuleId(), 1u);
    EXPECT_EQ(store.NewRuleId(), 2u);  // a taken id is never handed out again, used or not

    store.Add(Rule(5, L"a.exe", 1));
    store.Add(Rule(6, L"b.exe", 2));
    store.Add(Rule(5, L"c.exe", 3));
    store.Add(Rule(7, L"d.exe", 4));
    ASSERT_EQ(store.Count(), 4u);
    EXPECT_EQ(store.FindById(5)->ProcessPattern, L"a.exe");
    EXPECT_FALSE(store.FindById(99).has_value());

    const auto before = store.Snapshot();
    ThresholdRule changed = Rule(5, L"changed.exe", 50);
    changed.Enabled = false;
    store.Update(changed);
    EXPECT_EQ(*store.FindById(5), changed);
    EXPECT_EQ((*store.Snapshot())[2].ProcessPattern, L"c.exe");
    EXPECT_EQ((*before)[0].ProcessPattern, L"a.exe");  // a reader's copy never changes under it

    store.Update(Rule(42, L"nobody.exe"));
    store.Remove(42);
    EXPECT_EQ(store.Count(), 4u);

    store.Remove(5);
    auto rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 3u);
    EXPECT_EQ((*rules)[0].ProcessPattern, L"b.exe");
    EXPECT_EQ((*rules)[1].ProcessPattern, L"c.exe");  // the second rule with id 5 is now the first
    EXPECT_EQ((*rules)[2].ProcessPattern, L"d.exe");

    store.Clear();
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.NewRuleId(), 3u);  // clearing never lowers the counter

    store.AddNewRules({Rule(0, L"x.exe"), Rule(77, L"y.exe")});
    rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 2u);
    EXPECT_EQ((*rules)[0].RuleId, 4u);
    EXPECT_EQ((*rules)[1].RuleId, 5u);
    EXPECT_EQ(store.NewRuleId(), 6u);
}

// Readers (a monitoring pass, alert delivery) run against a writer doing every kind of change;
// each snapshot must show whole changes only. Run under ThreadSanitizer in linux-tsan.
TEST(RuleStore, ReadersNeverSeeAHalfChangedList) {
    RuleStore store;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> snapshots{0};

    auto reader = [&] {
        while (!done.load()) {
            const auto rules = store.Snapshot();
            int pairs = 0;
            for (const ThresholdRule& rule : *rules) {
                // A rule's pattern always names its handle limit; pairs are always added together.
                if (rule.ProcessPattern != L"p" + std::to_wstring(rule.MaxHandles)) ++torn;
                if (rule.CooldownSec == 7) ++pairs;
            }
            if (pairs % 2 != 0) ++torn;
            if (!rules->empty()) store.FindById((*rules)[0].RuleId);
            ++snapshots;
        }
    };
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) readers.emplace_back(reader);

    for (uint32_t round = 1; round <= 2000; ++round) {
        const uint32_t id = store.NewRuleId();
        ThresholdRule single = Rule(id, (L"p" + std::to_wstring(round)).c_str(), round);
        store.Add(single);
        single.MaxHandles = round + 1;
        single.ProcessPattern = L"p" + std::to_wstring(round + 1);
        store.Update(single);
        ThresholdRule pair = Rule(0, L"p9", 9);
        pair.CooldownSec = 7;
        store.AddNewRules({pair, pair});
        if (round % 3 == 0) store.Remove(id);
        if (round % 500 == 0) store.Clear();
    }
    done = true;
    for (auto& thread : readers) thread.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(snapshots.load(), 0);
}
