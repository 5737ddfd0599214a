#include <gtest/gtest.h>

#include "rules/rule_store.h"

TEST(RuleStore, ListOperationsActOnTheFirstRuleWithAnIdAndKeepOrder) {
    RuleStore store;
    EXPECT_EQ(store.NewRuleId(), 1u);
    EXPECT_EQ(store.NewRuleId(), 2u);  // a taken id is never handed out again, used or not
    const ThresholdRule b{.RuleId = 6, .ProcessPattern = L"b.exe"};
    const ThresholdRule c{.RuleId = 5, .ProcessPattern = L"c.exe"};
    const ThresholdRule d{.RuleId = 7, .ProcessPattern = L"d.exe"};
    for (const ThresholdRule& rule : {ThresholdRule{.RuleId = 5, .ProcessPattern = L"a.exe"}, b, c, d}) {
        store.Add(rule);
    }
    EXPECT_FALSE(store.FindById(99).has_value());

    const auto before = store.Snapshot();
    const ThresholdRule changed{.RuleId = 5, .ProcessPattern = L"changed.exe", .Enabled = false, .MaxHandles = 50};
    store.Update(changed);
    store.Update({.RuleId = 42, .ProcessPattern = L"nobody.exe"});
    store.Remove(42);
    EXPECT_EQ(*store.Snapshot(), (RuleList{changed, b, c, d}));
    EXPECT_EQ((*before)[0].ProcessPattern, L"a.exe");  // a reader's copy never changes under it

    store.Remove(5);
    EXPECT_EQ(*store.Snapshot(), (RuleList{b, c, d}));  // the second rule with id 5 is now the first
    store.Clear();
    store.AddNewRules({{.ProcessPattern = L"x.exe"}, {.RuleId = 77, .ProcessPattern = L"y.exe"}});
    // Clearing never lowers the counter.
    EXPECT_EQ(*store.Snapshot(),
              (RuleList{{.RuleId = 3, .ProcessPattern = L"x.exe"}, {.RuleId = 4, .ProcessPattern = L"y.exe"}}));
    EXPECT_EQ(store.NewRuleId(), 5u);
}

// Readers (a monitoring pass, alert delivery) run against a writer doing every kind of change;
// each snapshot must show whole changes only. linux-tsan runs this under ThreadSanitizer.
TEST(RuleStore, ReadersNeverSeeAHalfChangedList) {
    RuleStore store;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> snapshots{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                const auto rules = store.Snapshot();
                int pairs = 0;
                for (const ThresholdRule& rule : *rules) {
                    // A rule's pattern always names its handle limit; pairs are always added together.
                    if (rule.ProcessPattern != L"p" + std::to_wstring(rule.MaxHandles)) {
                        ++torn;
                    }
                    pairs += rule.CooldownSec == 7;
                }
                if (pairs % 2 != 0) {
                    ++torn;
                }
                if (!rules->empty()) {
                    store.FindById((*rules)[0].RuleId);
                }
                ++snapshots;
            }
        });
    }
    for (uint32_t round = 1; round <= 1000; ++round) {
        ThresholdRule single{
            .RuleId = store.NewRuleId(), .ProcessPattern = L"p" + std::to_wstring(round), .MaxHandles = round};
        store.Add(single);
        single.MaxHandles = round + 1;
        single.ProcessPattern = L"p" + std::to_wstring(round + 1);
        store.Update(single);
        const ThresholdRule pair{.ProcessPattern = L"p9", .MaxHandles = 9, .CooldownSec = 7};
        store.AddNewRules({pair, pair});
        if (round % 3 == 0) {
            store.Remove(single.RuleId);
        }
        if (round % 100 == 0) {
            store.Clear();
        }
    }
    done = true;
    for (auto& thread : readers) {
        thread.join();
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(snapshots.load(), 0);
}
