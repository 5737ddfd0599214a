#pragma once

#include <windows.h>

#include <string>

#include "alerts/alert_history.h"
#include "monitor/process_history.h"
#include "rules/rule_store.h"

// "History - <process> (<pid>)": one chart per counter that an enabled rule matching the process
// limits (all seven when none does), the limits as dashed lines, its alerts as markers, updated as
// passes arrive, and "Export CSV...". Modal to `owner`; a process with no kept history gets a
// message saying so instead. The markers come from alerts (the process's store for the callers
// that do not name theirs yet).
void RunHistoryWindow(HWND owner, const ProcessHistory& history, const RuleStore& rules, const ProcessKey& key,
                      const std::wstring& processName, AlertHistoryStore& alerts);
// The same for the process an alert row names (PID in column 1, name in column 2): the latest kept
// process with that identifier.
void RunHistoryWindowForAlertRow(HWND owner, HWND list, int row, const ProcessHistory& history, const RuleStore& rules,
                                 AlertHistoryStore& alerts);
