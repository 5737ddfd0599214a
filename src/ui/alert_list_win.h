#pragma once

#include <windows.h>

#include "monitor/alert_record.h"

// What the two alert lists (the main dialog's recent alerts, the alert log window) share.

// Appends one row for the record: time, PID, process, violation.
void AppendAlertRow(HWND list, const AlertRecord& record);

// Clears the alert history and its log file. When the file keeps its alerts (held by another
// program), says so from owner, since the next start would read them back. The caller empties its
// own list.
void ClearAlertLog(HWND owner);
