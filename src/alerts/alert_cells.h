#pragma once

#include <string>

#include "monitor/alert_record.h"

// The columns of an alert's row in the alert lists: time, PID, process, violation.
inline constexpr int kAlertColumnCount = 4;

// A column's text: the local time as "YYYY-MM-DD hh:mm:ss", the PID in decimal, the process and
// the violation as they stand; empty for any other column.
std::wstring AlertCellText(const AlertRecord& record, int column);
