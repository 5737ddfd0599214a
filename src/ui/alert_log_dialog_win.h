#pragma once

#include "alerts/alert_history.h"
#include "monitor/process_history.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"

// Runs one alert log window (IDD_ALERT_LOG) on the alerts, whose log file the settings name,
// modally with no owner until it is closed. With a history and the rules, a double click on a row
// opens that process's history window.
void RunAlertLogDialog(AlertHistoryStore& alerts, const AppSettings& settings, const ProcessHistory* history = nullptr,
                       const RuleStore* rules = nullptr);
