#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>

#include "rules/rule_cells.h"
#include "rules/rule_csv.h"
#include "rules/rule_presets.h"

TEST(RuleStore, ListOperationsActOnTheFirstRuleWithAnIdAndKeepOrder) {
    RuleStore store;
    EXPECT_EQ(store.NewRuleId(), 1u);
    EXPECT_EQ(store.NewRuleId(), 2u);  // a taken id is never handed out again, used or not
    const ThresholdRule b{6, L"b.exe"}, c{5, L"c.exe"}, d{7, L"d.exe"};
    for (const ThresholdRule& rule : {ThresholdRule{5, L"a.exe"}, b, c, d}) {
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
    store.AddNewRules({{0, L"x.exe"}, {77, L"y.exe"}});
    EXPECT_EQ(*store.Snapshot(), (RuleList{{3, L"x.exe"}, {4, L"y.exe"}}));  // clearing never lowers the counter
    EXPECT_EQ(store.NewRuleId(), 5u);
}

// Readers (a monitoring pass, alert delivery) run against a writer doing every kind of change;
// each snapshot must show whole changes only. linux-tsan runs this under ThreadSanitizer.
TEST(RuleStore, ReadersNeverSeeAHalfChangedList) {
    RuleStore store;
    std::atomic<bool> done{false};
    std::atomic<long> torn{0}, snapshots{0};
    std::vector<std::jthread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            for (; !done; ++snapshots) {
                const auto rules = store.Snapshot();
                int pairs = 0;
                for (const ThresholdRule& rule : *rules) {
                    // A rule's pattern always names its handle limit; pairs are always added together.
                    torn += rule.ProcessPattern != L"p" + std::to_wstring(rule.MaxHandles);
                    pairs += rule.CooldownSec == 7;
                }
                torn += pairs % 2;
                store.FindById(rules->empty() ? 0 : rules->front().RuleId);
            }
        });
    }
    for (uint32_t round = 1; round <= 1000; ++round) {
        const uint32_t id = store.NewRuleId();
        store.Add({.RuleId = id, .ProcessPattern = L"p" + std::to_wstring(round), .MaxHandles = round});
        store.Update({.RuleId = id, .ProcessPattern = L"p" + std::to_wstring(round + 1), .MaxHandles = round + 1});
        const ThresholdRule pair{.ProcessPattern = L"p9", .MaxHandles = 9, .CooldownSec = 7};
        store.AddNewRules({pair, pair});
        store.Remove(round % 3 == 0 ? id : 0);
        if (round % 100 == 0) {
            store.Clear();
        }
    }
    done = true;
    readers.clear();  // joins them
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(snapshots.load(), 0);
}

// Every field of every preset's rules, in menu order, as rules.csv keeps them.
TEST(RulePresets, EachPresetAppendsItsRulesWithFreshIdsAndEveryField) {
    RuleStore store;
    for (size_t index = 0; index < kRulePresetCount; ++index) {
        ASSERT_TRUE(AddRulePreset(store, index));
    }
    EXPECT_FALSE(AddRulePreset(store, kRulePresetCount));
    EXPECT_EQ(FormatRulesCsv(*store.Snapshot()), FormatRulesCsv({}) +
                                                     "1,chrome.exe,1,5000,4096.0,4096.0,0.0,0,0,0,3,120,0\r\n"
                                                     "2,firefox.exe,1,5000,4096.0,4096.0,0.0,0,0,0,3,120,0\r\n"
                                                     "3,msedge.exe,1,5000,4096.0,4096.0,0.0,0,0,0,3,120,0\r\n"
                                                     "4,*,1,0,0.0,0.0,95.0,0,0,0,3,300,0\r\n"
                                                     "5,*,1,20000,0.0,0.0,0.0,0,0,0,3,120,0\r\n"
                                                     "6,*,1,0,4096.0,4096.0,0.0,0,0,0,3,120,0\r\n"
                                                     "7,*,1,0,0.0,0.0,0.0,0,8000,0,3,120,0\r\n"
                                                     "8,*,1,0,0.0,0.0,0.0,500,0,0,3,60,0\r\n");
}

// What the Wine tests cannot reach through the controls: rounding, wrapping and the 32-bit limits
// of the C conversions behind the list cells and the editor fields.
TEST(RuleCells, CellsAndEditorFieldsFollowTheCConversions) {
    using enum RuleEditorField;
    const ThresholdRule rule{0, L"a*.exe", false, 0, 1572864000, 1023, 0.5, 0, 8000, 0, kDefaultAlertActions, 0};
    std::wstring row;
    for (int column = 0; column <= kRuleColumnCount; ++column) {
        row += RuleCellText(rule, column) + L"|";
    }
    EXPECT_EQ(row, L"No|a*.exe|-|1500|0|0|-|8000|-||");
    EXPECT_EQ(RuleEditorText(rule, Handles) + L"|" + RuleEditorText(rule, Cooldown), L"|0");
    // A cell reads a C integer kept to 32 bits; a field reads digits only, anything else is 0.
    const std::tuple<int, const wchar_t*, const wchar_t*> cells[] = {
        {2, L" 12x", L"12"}, {4, L"-1", L"4294967295"}, {5, L"12.5%", L"12"},
        {5, L"-3", L"-"},    {6, L"+7", L"7"},          {8, L"99999999999", L"1215752191"}};
    for (const auto& [column, text, shown] : cells) {
        ThresholdRule edited;
        ASSERT_TRUE(ApplyRuleCellText(edited, column, text));
        EXPECT_EQ(RuleCellText(edited, column), shown) << text;
    }
    const std::tuple<RuleEditorField, const wchar_t*, const wchar_t*> fields[] = {
        {Handles, L"  42", L"42"},           {Handles, L"42x", L""}, {Threads, L"4294967296", L""},
        {Gdi, L"4294967295", L"4294967295"}, {User, L"-1", L""},     {Cpu, L" 12.5abc", L"12"}};
    for (const auto& [field, text, shown] : fields) {
        ThresholdRule edited;
        ApplyRuleEditorText(edited, field, text);
        EXPECT_EQ(RuleEditorText(edited, field), shown) << text;
    }
    ThresholdRule edited = rule;
    EXPECT_FALSE(ApplyRuleCellText(edited, 9, L"5"));
    ApplyRuleEditorText(edited, Pattern, std::wstring(300, L'p'));
    EXPECT_EQ(edited.ProcessPattern, std::wstring(255, L'p'));
    // Pasted line breaks would split the rule's line in rules.csv; a pair is never cut in half.
    ApplyRuleEditorText(edited, Pattern, std::wstring(254, L'p') + L"\U0001F600");
    EXPECT_EQ(edited.ProcessPattern, std::wstring(254, L'p'));
    ASSERT_TRUE(ApplyRuleCellText(edited, 1, L"a\tb\r\nc\x01.exe"));
    EXPECT_EQ(edited.ProcessPattern, L"abc.exe");
    // A pattern cell edited to blanks would save a rule the next load drops: nothing changes.
    EXPECT_FALSE(ApplyRuleCellText(edited, 1, L" \t\r\n "));
    EXPECT_EQ(edited.ProcessPattern, L"abc.exe");
}
