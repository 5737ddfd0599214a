#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert_log.h"
#include "base/utf16.h"
#include "base/utf8.h"

// The plain way to read a whole alert log: decode it, take it line by line as fgets does through a
// buffer of 2048 units (a longer line comes in pieces of 2047, no pair split), parse each piece.
inline std::vector<AlertRecord> ReadAlertLogReference(std::string_view bytes) {
    const std::wstring text = Utf8ToWide(SkipUtf8Bom(bytes));
    std::vector<AlertRecord> records;
    for (size_t at = 0; at < text.size();) {
        AlertRecord record;
        if (ParseAlertLogLine(NextLinePiece(text, at, kAlertLogPieceChars, false), record)) {
            records.push_back(record);
        }
    }
    return records;
}
