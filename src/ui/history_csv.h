#pragma once

#include <string>
#include <string_view>

#include "monitor/alert_record.h"
#include "monitor/process_history.h"

// Local wall-clock time, `utcOffsetSeconds` ahead of UTC, of a Unix time and back.
AlertTime LocalTimeOf(double unixSeconds, int utcOffsetSeconds);
double UnixTimeOf(const AlertTime& local, int utcOffsetSeconds);

// The history window's CSV export, as the alert log's: the byte-order mark, the header line, then
// per point the local time and the process quoted, the PID and every counter bare (memory in
// bytes, CPU as the pass computed it), each line ending in CR LF.
std::string FormatHistoryCsv(const ProcessTrack& track, std::wstring_view header, int utcOffsetSeconds);
