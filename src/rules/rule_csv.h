#pragma once

#include <string>
#include <string_view>

#include "rules/rule_store.h"

inline constexpr std::string_view kRulesCsvHeader =
    "RuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,MaxUSER,"
    "AlertActions,CooldownSec,SustainSec";

// The whole rules.csv: byte-order mark, header, one CR LF line per rule. A pattern holding a comma
// or a double quote is written as a quoted field (inner quotes doubled) so that it reads back.
// SustainSec is the last column: older readers take twelve fields and ignore the rest.
std::string FormatRulesCsv(const RuleList& rules);

// Reads the rules of a rules.csv's bytes (UTF-8 with or without its mark, or UTF-16 with its mark;
// LF, CR LF or CR). The first line is skipped whatever it holds; lines without id, storable
// pattern and enabled flag are dropped and counted in droppedLines, blank ones are not. False when
// there is no first line at all (rules and droppedLines untouched).
bool ParseRulesCsv(std::string_view bytes, RuleList& rules, size_t& droppedLines);

// One line (line break removed) into a record; false when it does not yield the first three fields
// or the pattern is not one the store keeps.
bool ParseRuleCsvLine(std::wstring_view line, ThresholdRule& rule);
