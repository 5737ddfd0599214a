#pragma once

#include <string>
#include <string_view>

#include "monitor/alert_record.h"

// A text field of the CSV exports: UTF-8 in double quotes, an inner quote doubled.
std::string CsvQuoted(const std::wstring& text);

// One line of the alert CSV export in UTF-8: the time, process and violation in double quotes
// (an inner quote doubled), the PID bare, separated by commas, ending in CR LF.
std::string FormatAlertCsvLine(const AlertRecord& record);

// Writes the byte-order mark, the header line and one line per record of the alert history,
// oldest first. False when the file cannot be opened or written.
bool ExportAlertCsv(const std::wstring& path, std::wstring_view header);
