#include "monitor/sample_selection.h"

#include <algorithm>
#include <utility>

#include "rules/wildcard_match.h"

MeasureDecision DecideMeasurement(const ProcessSample& sample, const RuleList& rules,
                                  const std::vector<std::wstring>& exclusions, bool* wantsGuiCounts) {
    const wchar_t* name = sample.ExeName.c_str();
    if (std::any_of(exclusions.begin(), exclusions.end(),
                    [name](const std::wstring& pattern) { return WildcardMatch(name, pattern.c_str()); })) {
        return MeasureDecision::Excluded;
    }
    const auto concerns = [name](const ThresholdRule& rule) {
        return rule.Enabled && WildcardMatch(name, rule.ProcessPattern.c_str());
    };
    const auto first = std::find_if(rules.begin(), rules.end(), concerns);
    if (first == rules.end()) {
        return MeasureDecision::NoEnabledRule;
    }
    if (sample.ProcessId == 0 || sample.ProcessId == 4) {
        return MeasureDecision::PseudoProcess;
    }
    if (wantsGuiCounts != nullptr) {
        // The limits are tested first: most rules have none, and they cost no pattern match.
        *wantsGuiCounts = std::any_of(first, rules.end(), [&concerns](const ThresholdRule& rule) {
            return (rule.MaxGDI != 0 || rule.MaxUSER != 0) && concerns(rule);
        });
    }
    return MeasureDecision::Measure;
}

void KeepSnapshotFieldsOnly(ProcessSample& sample) {
    sample = ProcessSample{.ProcessId = sample.ProcessId,
                           .ExeName = std::move(sample.ExeName),
                           .ThreadCount = sample.ThreadCount,
                           .Excluded = sample.Excluded};
}
