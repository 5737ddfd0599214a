#pragma once

#include <string>
#include <vector>

#include "monitor/process_sample.h"
#include "rules/rule_store.h"

enum class MeasureDecision { Measure, Excluded, NoEnabledRule, PseudoProcess };

// Whether a pass measures this process: exclusions first, then the enabled rules' patterns,
// then the idle (0) and system (4) pseudo-processes, which cannot be opened. For a measured
// process, `wantsGuiCounts` (when given) says whether a matching enabled rule limits GDI or USER
// objects, the only counts that need the process opened.
MeasureDecision DecideMeasurement(const ProcessSample& sample, const RuleList& rules,
                                  const std::vector<std::wstring>& exclusions, bool* wantsGuiCounts = nullptr);

// What an unmeasured process carries: its identifier, name and thread count, every counter 0.
void KeepSnapshotFieldsOnly(ProcessSample& sample);
