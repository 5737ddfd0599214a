#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/alert_record.h"
#include "base/file_io.h"

// A log line longer than this many UTF-16 units is read as several lines of at most this length.
inline constexpr size_t kAlertLogPieceChars = 2047;
inline constexpr size_t kAlertLogBlockBytes = 65536;
// How far back from its end the log is read at most, however few records that holds.
inline constexpr uint64_t kAlertLogScanLimitBytes = 64ull * 1024 * 1024;

// One line of alerts.log: "YYYY-MM-DD hh:mm:ss<TAB>pid<TAB>process<TAB>violation" in UTF-8, ending in CR LF.
std::string FormatAlertLogLine(const AlertRecord& record);

// Appends the record's line with a single write, so a crash never leaves half a line behind.
// False when the file cannot be opened or written.
bool AppendAlertLogLine(const std::wstring& path, const AlertRecord& record);

// Appends the lines in order with one open of the file, each whole or not at all (a write cut short,
// as on a full disk, is taken back); stops at the first that fails. The number of lines written.
size_t AppendAlertLogLines(const std::wstring& path, const std::vector<std::string>& lines,
                           FileWrite write = WriteOnce);

// One line (or piece of a long line) of the log: trailing CR and LF are ignored; every TAB
// separates two fields, so an empty field stays empty. False (record untouched) when nothing is
// left or fewer than three fields are found. RuleId is 0; unparsable time parts stay 0.
bool ParseAlertLogLine(std::wstring_view line, AlertRecord& record);

// The last maxRecords records of the log file in file order, read backwards from its end so the
// time taken does not grow with the file. The same records as reading the whole file line by line
// in pieces of kAlertLogPieceChars units, as far as the last scanLimitBytes reach (a line that
// starts further back is left out). False (records untouched) when the file cannot be opened or
// read. blockBytes is the size of each read.
bool ReadAlertLogTail(const std::wstring& path, size_t maxRecords, std::vector<AlertRecord>& records,
                      size_t blockBytes = kAlertLogBlockBytes, uint64_t scanLimitBytes = kAlertLogScanLimitBytes);
