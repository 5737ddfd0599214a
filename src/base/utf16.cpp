#include "base/utf16.h"

size_t CharacterLength(std::wstring_view text, size_t pos) {
    return pos + 1 < text.size() && IsHighSurrogate(static_cast<uint32_t>(text[pos])) &&
                   IsLowSurrogate(static_cast<uint32_t>(text[pos + 1]))
               ? 2
               : 1;
}

size_t Utf16Units(wchar_t c) {
    const uint32_t codePoint = static_cast<uint32_t>(c);  // a variable: no always-false warning for 16 bits
    return codePoint > 0xFFFF ? 2 : 1;
}

std::wstring CutToUtf16Units(std::wstring_view text, size_t maxUnits) {
    size_t units = 0;
    size_t end = 0;
    while (end < text.size()) {
        const size_t length = CharacterLength(text, end);
        const size_t characterUnits = length == 2 ? 2 : Utf16Units(text[end]);
        if (units + characterUnits > maxUnits) {
            break;
        }
        units += characterUnits;
        end += length;
    }
    return std::wstring(text.substr(0, end));
}

std::wstring_view NextLinePiece(std::wstring_view text, size_t& pos, size_t maxUnits, bool loneCrEndsLine) {
    const size_t start = pos;
    size_t units = 0;
    while (pos < text.size()) {
        const wchar_t c = text[pos];
        const size_t length = CharacterLength(text, pos);
        const size_t width = length == 2 ? 2 : Utf16Units(c);
        if (units + width > maxUnits) {
            break;
        }
        units += width;
        pos += length;
        const bool loneCr = loneCrEndsLine && c == L'\r' && (pos >= text.size() || text[pos] != L'\n');
        if (c == L'\n' || loneCr) {
            break;
        }
    }
    return text.substr(start, pos - start);
}
