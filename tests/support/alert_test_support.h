#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert_log.h"
#include "base/utf8.h"

// The plain way to read a whole alert log: decode it, take it line by line through a buffer of
// 2048 characters as fgets does (a longer line comes in pieces of 2047), and parse each piece.
// Characters are wchar_t units, so on a 16-bit wchar_t build it holds for text within the BMP.
inline std::vector<AlertRecord> ReadAlertLogReference(std::string_view bytes) {
    const std::wstring text = Utf8ToWide(SkipUtf8Bom(bytes));
    std::vector<AlertRecord> records;
    for (size_t at = 0; at < text.size();) {
        size_t take = 0;
        while (take < kAlertLogPieceChars && at + take < text.size()) {
            if (text[at + take++] == L'\n') {
                break;
            }
        }
        AlertRecord record;
        if (ParseAlertLogLine(std::wstring_view(text).substr(at, take), record)) {
            records.push_back(record);
        }
        at += take;
    }
    return records;
}
