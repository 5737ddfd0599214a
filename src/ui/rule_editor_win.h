#pragma once

#include <windows.h>

#include "rules/threshold_rule.h"

// Edits one rule in the IDD_RULE_EDITOR dialog, modal to owner. True on OK, the fields written back into rule (a
// field whose text was not changed keeps the rule's exact value); false on Cancel, rule untouched.
bool RunRuleEditor(HWND owner, ThresholdRule& rule);
