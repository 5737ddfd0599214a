#pragma once

#include <string>
#include <string_view>

#include "rules/threshold_rule.h"

// The texts a rule shows in the rules list and in the rule editor, and the reading of what the
// user typed there. Locale-free, the same on both builds.

inline constexpr int kRuleColumnCount = 9;

// Cell text of a rules-list column (0 "Enabled" to 8 "USER"): a limit of 0 shows "-", a memory
// limit below 1 MB shows "0". Empty for other columns.
std::wstring RuleCellText(const ThresholdRule& rule, int column);

// One committed cell: column 0 flips Enabled (text unused), 1 takes the pattern as typed, the
// count and MB columns read a C integer kept to 32 bits, the CPU column a C double. False, rule
// untouched, for columns beyond 8 and for a blank pattern.
bool ApplyRuleCellText(ThresholdRule& rule, int column, std::wstring_view text);

// The text fields of the rule editor, in its tab order.
enum class RuleEditorField { Pattern, Handles, WorkingSet, PrivateBytes, Cpu, Threads, Gdi, User, Cooldown, Sustain };

// What a field shows for the rule: limits of 0 blank, memory in whole MB, CPU "%.0f" when above 0,
// the cooldown and the sustain time always.
std::wstring RuleEditorText(const ThresholdRule& rule, RuleEditorField field);

// Writes a field's text into the rule: the pattern cut to 255 characters, counts and MB as an
// unsigned decimal (blank, not a number, or beyond 32 bits gives 0), CPU as a C double.
void ApplyRuleEditorText(ThresholdRule& rule, RuleEditorField field, std::wstring_view text);
