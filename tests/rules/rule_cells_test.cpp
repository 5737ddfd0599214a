#include <gtest/gtest.h>

#include <string>

#include "rules/rule_cells.h"

// The C conversions the Wine tests cannot reach through the controls: rounding, wrapping, limits.
TEST(RuleCells, ListCellsAndCommittedTextsFollowTheCConversions) {
    const ThresholdRule rule{.ProcessPattern = L"a*.exe",
                             .Enabled = false,
                             .MaxWorkingSetBytes = 1023,
                             .MaxPrivateBytes = 4096 * kBytesPerMB + 5,
                             .MaxCPU = 95.5,
                             .MaxGDI = 8000};
    std::wstring row;
    for (int column = 0; column <= kRuleColumnCount; ++column) {
        row += RuleCellText(rule, column) + L"|";
    }
    EXPECT_EQ(row, L"No|a*.exe|-|0|4096|96|-|8000|-||");
    EXPECT_EQ(RuleCellText({.ProcessPattern = L"", .MaxCPU = 0.5}, 5), L"0");

    struct Case {
        int column;
        const wchar_t* text;
        const wchar_t* shown;
    } const cases[] = {{2, L" 12x", L"12"}, {4, L"-1", L"4294967295"}, {5, L"12.5%", L"12"},
                       {5, L"-3", L"-"},    {6, L"+7", L"7"},          {8, L"99999999999", L"1215752191"}};
    for (const Case& c : cases) {
        ThresholdRule edited;
        ASSERT_TRUE(ApplyRuleCellText(edited, c.column, c.text));
        EXPECT_EQ(RuleCellText(edited, c.column), c.shown) << c.text;
    }
    ThresholdRule unchanged = rule;
    EXPECT_FALSE(ApplyRuleCellText(unchanged, 9, L"5"));
    EXPECT_EQ(unchanged, rule);
}

TEST(RuleCells, EditorFieldsShowBlankForNoLimitAndReadDialogIntegers) {
    const ThresholdRule rule{.ProcessPattern = L"", .MaxWorkingSetBytes = 1572864000, .CooldownSec = 0};
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::WorkingSet) + L"|" + RuleEditorText(rule, RuleEditorField::Cpu) +
                  L"|" + RuleEditorText(rule, RuleEditorField::Cooldown),
              L"1500||0");
    struct Case {
        RuleEditorField field;
        const wchar_t* text;
        const wchar_t* shown;
    } const cases[] = {
        {RuleEditorField::Handles, L"  42", L"42"},       {RuleEditorField::Handles, L"42x", L""},
        {RuleEditorField::Threads, L"4294967296", L""},   {RuleEditorField::Gdi, L"4294967295", L"4294967295"},
        {RuleEditorField::Cooldown, L"", L"0"},           {RuleEditorField::User, L"-1", L""},
        {RuleEditorField::PrivateBytes, L"4096", L"4096"}};
    for (const Case& c : cases) {
        ThresholdRule edited;
        ApplyRuleEditorText(edited, c.field, c.text);
        EXPECT_EQ(RuleEditorText(edited, c.field), c.shown) << c.text;
    }
    ThresholdRule edited;
    ApplyRuleEditorText(edited, RuleEditorField::Pattern, std::wstring(300, L'p'));
    EXPECT_EQ(edited.ProcessPattern, std::wstring(255, L'p'));
}
