#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_targets.h"
#include "rules/rule_csv.h"
#include "rules/rule_pattern.h"

// Any bytes load without a crash and never yield a pattern rules.csv cannot hold; what loads saves
// and loads back to the same list, except for values that are rounded to one decimal.
bool RulesCsvFuzz(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RuleList rules;
    size_t dropped = 0;
    if (!ParseRulesCsv(bytes, rules, dropped)) {
        return true;
    }
    for (ThresholdRule& rule : rules) {
        if (!IsStorablePattern(rule.ProcessPattern)) {
            return false;
        }
        // Saved with one decimal: compare what a save-load cycle keeps.
        rule.MaxWorkingSetBytes = 0;
        rule.MaxPrivateBytes = 0;
        rule.MaxCPU = 0;
    }
    RuleList reloaded;
    size_t reloadDropped = 0;
    if (!ParseRulesCsv(FormatRulesCsv(rules), reloaded, reloadDropped) || reloaded != rules || reloadDropped != 0) {
        return false;
    }
    return true;
}
