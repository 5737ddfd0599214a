#pragma once

#include <string>
#include <string_view>

#include "rules/rule_store.h"

// The pattern as a JSON string body: backslash, quote, LF, CR and tab as their short escapes,
// every other character below U+0020 as \u00XX, everything else unchanged.
std::wstring JsonEscape(std::wstring_view text);

// The whole export: byte-order mark, fixed layout with CR LF line ends, no rule ids.
std::string FormatRulesJson(const RuleList& rules);

// Scans an export for rules: every object after the "rules" key yields a rule when its
// "processPattern" is one the store keeps (IsStorablePattern: a line break in it would write a
// second rule into rules.csv), ids left 0 for the store to assign. Braces and quotes inside strings
// are text. False when there is no "rules" string at all (rules untouched).
bool ParseRulesJson(std::string_view bytes, RuleList& rules);
