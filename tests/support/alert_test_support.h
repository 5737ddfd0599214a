#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert_log.h"
#include "base/utf16.h"
#include "base/utf8.h"

// An alert with whole seconds only, as the log keeps them; the seconds follow the PID.
inline AlertRecord MakeAlert(uint32_t pid, std::wstring process = L"p.exe", std::wstring violation = L"Threads: 9 > 8",
                             uint32_t ruleId = 0) {
    return {{2024, 6, 0, 1, 12, 0, static_cast<uint16_t>(pid % 60), 0},
            pid,
            std::move(process),
            ruleId,
            std::move(violation)};
}

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
