#pragma once

#include "monitor/process_history.h"
#include "rules/rule_store.h"

// Runs one alert log window (IDD_ALERT_LOG) modally with no owner until it is closed. With a
// history and the rules, a double click on a row opens that process's history window.
void RunAlertLogDialog(const ProcessHistory* history = nullptr, const RuleStore* rules = nullptr);
