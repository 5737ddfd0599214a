#include <cstddef>
#include <cstdint>
#include <string>

#include "rules/rule_csv.h"

// Any bytes load without a crash; what loads saves and loads back to the same list, except for
// patterns a line cannot hold (line breaks, NUL) and values that are rounded or cannot round-trip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RuleList rules;
    if (!ParseRulesCsv(bytes, rules)) {
        return 0;
    }
    for (ThresholdRule& rule : rules) {
        if (rule.ProcessPattern.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos) {
            return 0;
        }
        // Saved with one decimal: compare what a save-load cycle keeps.
        rule.MaxWorkingSetBytes = 0;
        rule.MaxPrivateBytes = 0;
        rule.MaxCPU = 0;
    }
    RuleList reloaded;
    if (!ParseRulesCsv(FormatRulesCsv(rules), reloaded) || reloaded != rules) {
        __builtin_trap();
    }
    return 0;
}
