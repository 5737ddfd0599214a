#include "rules/wildcard_match.h"

#include "base/ascii_fold.h"

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
