#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/rule_cells.h"

TEST(RuleCells, ListCellsShowDashForNoLimitAndZeroBelowOneMegabyte) {
    const ThresholdRule rule{.ProcessPattern = L"a*.exe",
                             .Enabled = false,
                             .MaxHandles = 5000,
                             .MaxWorkingSetBytes = 1023,
                             .MaxPrivateBytes = 4096 * kBytesPerMB + 5,
                             .MaxCPU = 95.5,
                             .MaxGDI = 8000};
    const std::vector<std::wstring> cells = {L"No", L"a*.exe", L"5000", L"0", L"4096", L"96", L"-", L"8000", L"-"};
    for (int column = 0; column < kRuleColumnCount; ++column) {
        EXPECT_EQ(RuleCellText(rule, column), cells[column]) << column;
    }
    EXPECT_EQ(RuleCellText({.ProcessPattern = L"", .MaxCPU = 0.5}, 5), L"0");
    EXPECT_EQ(RuleCellText({.ProcessPattern = L"", .MaxCPU = -3.0}, 5), L"-");
    EXPECT_EQ(RuleCellText(rule, 9), L"");
}

TEST(RuleCells, CommittedCellTextsFollowTheCConversions) {
    struct Case {
        int column;
        const wchar_t* text;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {2, L"abc", L"-"},         {2, L"-5", L"4294967291"},
        {2, L" 12x", L"12"},       {3, L"2048", L"2048"},
        {4, L"-1", L"4294967295"}, {5, L"12.5%", L"12"},
        {5, L"nope", L"-"},        {6, L"+7", L"7"},
        {7, L"0", L"-"},           {8, L"99999999999", L"1215752191"},
        {1, L" x ", L" x "},
    };
    for (const Case& c : cases) {
        ThresholdRule rule;
        ASSERT_TRUE(ApplyRuleCellText(rule, c.column, c.text));
        EXPECT_EQ(RuleCellText(rule, c.column), c.shown) << c.column << " " << c.text;
    }
    ThresholdRule rule;
    ASSERT_TRUE(ApplyRuleCellText(rule, 3, L"2048"));
    EXPECT_EQ(rule.MaxWorkingSetBytes, 2147483648u);
    ASSERT_TRUE(ApplyRuleCellText(rule, 0, L"ignored"));
    EXPECT_FALSE(rule.Enabled);
    ASSERT_TRUE(ApplyRuleCellText(rule, 0, L""));
    EXPECT_TRUE(rule.Enabled);
    const ThresholdRule before = rule;
    EXPECT_FALSE(ApplyRuleCellText(rule, 9, L"5"));
    EXPECT_EQ(rule, before);
}

TEST(RuleCells, EditorFieldsShowBlankForNoLimitAndReadDialogIntegers) {
    const ThresholdRule rule{.ProcessPattern = L"", .MaxWorkingSetBytes = 1572864000, .MaxCPU = 95.5, .CooldownSec = 0};
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::WorkingSet), L"1500");
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::Cpu), L"96");
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::Handles), L"");
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::Cooldown), L"0");

    struct Case {
        RuleEditorField field;
        const wchar_t* text;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {RuleEditorField::Handles, L"  42", L"42"},
        {RuleEditorField::Handles, L"42x", L""},
        {RuleEditorField::Threads, L"4294967296", L""},
        {RuleEditorField::Gdi, L"4294967295", L"4294967295"},
        {RuleEditorField::Cooldown, L"", L"0"},
        {RuleEditorField::Cpu, L" 12.5abc", L"12"},
        {RuleEditorField::PrivateBytes, L"4096", L"4096"},
        {RuleEditorField::User, L"-1", L""},
    };
    for (const Case& c : cases) {
        ThresholdRule edited;
        ApplyRuleEditorText(edited, c.field, c.text);
        EXPECT_EQ(RuleEditorText(edited, c.field), c.shown) << c.text;
    }
    ThresholdRule edited;
    ApplyRuleEditorText(edited, RuleEditorField::Cpu, L" 12.5abc");
    EXPECT_EQ(edited.MaxCPU, 12.5);
    ApplyRuleEditorText(edited, RuleEditorField::Pattern, std::wstring(300, L'p'));
    EXPECT_EQ(edited.ProcessPattern, std::wstring(255, L'p'));
}
