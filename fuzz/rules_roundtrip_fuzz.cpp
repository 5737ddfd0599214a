#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/c_scan.h"
#include "fuzz_targets.h"
#include "rules/rule_csv.h"
#include "rules/rule_json.h"
#include "rules/rule_numbers.h"

namespace {

// A limit as rules.csv keeps it: written with one decimal and read back.
double KeptInFile(double value) {
    std::string text;
    AppendOneDecimal(text, value);
    size_t pos = 0;
    double read = 0.0;
    ReadCDouble(std::string_view(text), pos, read);
    return read;
}

uint64_t KeptInFile(uint64_t bytes) {
    return MegabytesToBytes(KeptInFile(static_cast<double>(bytes) / static_cast<double>(kBytesPerMB)));
}

}  // namespace

// Whatever an import brings in is saved to rules.csv and loaded back as the same list, line for
// line: no pattern can add, split or lose a rule on the way.
bool RulesRoundtripFuzz(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RuleList imported;
    if (!ParseRulesJson(bytes, imported)) {
        return true;
    }
    uint32_t id = 0;
    for (ThresholdRule& rule : imported) {
        rule.RuleId = ++id;  // as the store numbers an import into an empty list
    }
    RuleList loaded;
    size_t dropped = 0;
    if (!ParseRulesCsv(FormatRulesCsv(imported), loaded, dropped) || dropped != 0 || loaded.size() != imported.size()) {
        return false;
    }
    for (size_t i = 0; i < imported.size(); ++i) {
        ThresholdRule expected = imported[i];
        expected.MaxWorkingSetBytes = KeptInFile(expected.MaxWorkingSetBytes);
        expected.MaxPrivateBytes = KeptInFile(expected.MaxPrivateBytes);
        expected.MaxCPU = KeptInFile(expected.MaxCPU);
        if (std::isnan(expected.MaxCPU) && std::isnan(loaded[i].MaxCPU)) {
            expected.MaxCPU = loaded[i].MaxCPU;  // NaN equals nothing, not even itself
        }
        if (loaded[i] != expected) {
            return false;
        }
    }
    return true;
}
