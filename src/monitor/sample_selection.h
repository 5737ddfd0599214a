#pragma once

#include <string>
#include <vector>

#include "monitor/process_sample.h"
#include "rules/rule_store.h"

enum class MeasureDecision { Measure, Excluded, NoEnabledRule, PseudoProcess };

// Whether a pass opens this process: exclusions first, then the enabled rules' patterns,
// then the idle (0) and system (4) pseudo-processes, which cannot be opened.
MeasureDecision DecideMeasurement(const ProcessSample& sample, const RuleList& rules,
                                  const std::vector<std::wstring>& exclusions);
