#include "rules/wildcard_match.h"

namespace {

// Only A to Z fold: the "C" locale's towlower, without depending on the process locale.
constexpr wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

bool WildcardMatch(const wchar_t* name, const wchar_t* pattern) {
    const wchar_t* starPattern = nullptr;  // pattern position just after the last '*'
    const wchar_t* starName = nullptr;     // name position where that '*' began matching

    while (*name) {
        if (*pattern == L'*') {
            ++pattern;
            starPattern = pattern;
            starName = name;
        } else if (*pattern == L'?' || (*pattern && FoldAscii(*pattern) == FoldAscii(*name))) {
            ++pattern;
            ++name;
        } else {
            if (!starPattern) {
                return false;
            }
            // The last '*' absorbs one more character; earlier stars never need to be revisited.
            name = ++starName;
            pattern = starPattern;
        }
    }
    while (*pattern == L'*') {
        ++pattern;
    }
    return *pattern == L'\0';
}
