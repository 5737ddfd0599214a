#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf16.h"
#include "fuzz_targets.h"
#include "rules/rule_json.h"

// Any bytes scan without a crash; no pattern found holds what rules.csv cannot keep (a control
// character, or more than 255 UTF-16 units); every rule exports and imports back with the same
// pattern and flags.
bool RulesJsonFuzz(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RuleList rules;
    if (!ParseRulesJson(bytes, rules)) {
        return true;
    }
    for (const ThresholdRule& rule : rules) {
        bool controls = false;
        size_t units = 0;
        for (const wchar_t c : rule.ProcessPattern) {
            controls |= static_cast<uint32_t>(c) < 0x20;
            units += Utf16Units(c);
        }
        if (controls || units == 0 || units > 255) {
            return false;
        }
    }
    RuleList reimported;
    if (!ParseRulesJson(FormatRulesJson(rules), reimported) || reimported.size() != rules.size()) {
        return false;
    }
    for (size_t i = 0; i < rules.size(); ++i) {
        if (reimported[i].ProcessPattern != rules[i].ProcessPattern || reimported[i].Enabled != rules[i].Enabled ||
            reimported[i].MaxHandles != rules[i].MaxHandles || reimported[i].CooldownSec != rules[i].CooldownSec) {
            return false;
        }
    }
    return true;
}
