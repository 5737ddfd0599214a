#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "rules/rule_cells.h"

// What the Wine tests cannot reach through the controls: rounding, wrapping and the 32-bit limits
// of the C conversions behind the list cells and the editor fields.
TEST(RuleCells, CellsAndEditorFieldsFollowTheCConversions) {
    const ThresholdRule rule{.ProcessPattern = L"a*.exe",
                             .Enabled = false,
                             .MaxWorkingSetBytes = 1572864000,
                             .MaxPrivateBytes = 1023,
                             .MaxCPU = 0.5,
                             .MaxGDI = 8000,
                             .CooldownSec = 0};
    std::wstring row;
    for (int column = 0; column <= kRuleColumnCount; ++column) {
        row += RuleCellText(rule, column) + L"|";
    }
    EXPECT_EQ(row, L"No|a*.exe|-|1500|0|0|-|8000|-||");
    EXPECT_EQ(RuleEditorText(rule, RuleEditorField::Handles) + L"|" + RuleEditorText(rule, RuleEditorField::Cooldown),
              L"|0");

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
        {RuleEditorField::Handles, L"  42", L"42"},
        {RuleEditorField::Handles, L"42x", L""},
        {RuleEditorField::Threads, L"4294967296", L""},
        {RuleEditorField::Gdi, L"4294967295", L"4294967295"},
        {RuleEditorField::User, L"-1", L""},
        {RuleEditorField::Cpu, L" 12.5abc", L"12"}};
    for (const auto& [field, text, shown] : fields) {
        ThresholdRule edited;
        ApplyRuleEditorText(edited, field, text);
        EXPECT_EQ(RuleEditorText(edited, field), shown) << text;
    }
    ThresholdRule edited = rule;
    EXPECT_FALSE(ApplyRuleCellText(edited, 9, L"5"));
    ApplyRuleEditorText(edited, RuleEditorField::Pattern, std::wstring(300, L'p'));
    EXPECT_EQ(edited.ProcessPattern, std::wstring(255, L'p'));
    // Pasted line breaks would split the rule's line in rules.csv; a pair is never cut in half.
    ApplyRuleEditorText(edited, RuleEditorField::Pattern, std::wstring(254, L'p') + L"\U0001F600");
    EXPECT_EQ(edited.ProcessPattern, std::wstring(254, L'p'));
    ASSERT_TRUE(ApplyRuleCellText(edited, 1, L"a\tb\r\nc\x01.exe"));
    EXPECT_EQ(edited.ProcessPattern, L"abc.exe");
}
