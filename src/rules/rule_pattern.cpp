#include "rules/rule_pattern.h"

#include <cstdint>

#include "base/utf16.h"

bool IsStorablePattern(std::wstring_view pattern) {
    size_t units = 0;
    for (const wchar_t c : pattern) {
        if (static_cast<uint32_t>(c) < 0x20) {
            return false;
        }
        units += Utf16Units(c);
    }
    return units > 0 && units <= kMaxPatternUnits;
}

std::wstring StorablePatternText(std::wstring_view text) {
    std::wstring kept;
    for (const wchar_t c : text) {
        if (static_cast<uint32_t>(c) >= 0x20) {
            kept.push_back(c);
        }
    }
    return CutToUtf16Units(kept, kMaxPatternUnits);
}

bool IsBlankPattern(std::wstring_view text) {
    return StorablePatternText(text).find_first_not_of(L' ') == std::wstring::npos;
}
