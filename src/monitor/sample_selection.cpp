#include "monitor/sample_selection.h"

#include <algorithm>

#include "rules/wildcard_match.h"

MeasureDecision DecideMeasurement(const ProcessSample& sample, const RuleList& rules,
                                  const std::vector<std::wstring>& exclusions) {
    const wchar_t* name = sample.ExeName.c_str();
    if (std::any_of(exclusions.begin(), exclusions.end(),
                    [name](const std::wstring& pattern) { return WildcardMatch(name, pattern.c_str()); })) {
        return MeasureDecision::Excluded;
    }
    if (std::none_of(rules.begin(), rules.end(), [name](const ThresholdRule& rule) {
            return rule.Enabled && WildcardMatch(name, rule.ProcessPattern.c_str());
        })) {
        return MeasureDecision::NoEnabledRule;
    }
    if (sample.ProcessId == 0 || sample.ProcessId == 4) {
        return MeasureDecision::PseudoProcess;
    }
    return MeasureDecision::Measure;
}
