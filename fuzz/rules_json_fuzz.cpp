#include <cstddef>
#include <cstdint>
#include <string>

#include "rules/rule_json.h"

// Any bytes scan without a crash; every rule found exports and imports back with the same pattern
// and flags.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RuleList rules;
    if (!ParseRulesJson(bytes, rules)) {
        return 0;
    }
    RuleList reimported;
    if (!ParseRulesJson(FormatRulesJson(rules), reimported) || reimported.size() != rules.size()) {
        __builtin_trap();
    }
    for (size_t i = 0; i < rules.size(); ++i) {
        if (reimported[i].ProcessPattern != rules[i].ProcessPattern || reimported[i].Enabled != rules[i].Enabled ||
            reimported[i].MaxHandles != rules[i].MaxHandles || reimported[i].CooldownSec != rules[i].CooldownSec) {
            __builtin_trap();
        }
    }
    return 0;
}
