#include <gtest/gtest.h>

#include "rules/wildcard_match.h"

// Name and pattern in turn. Only ASCII letters fold ('@' and '[' neighbour A and Z; accented letters
// and other scripts are exact); '?' is one character, '*' in a name an ordinary one; a mismatch
// backtracks to the last star.
TEST(WildcardMatch, StarsQuestionMarksAsciiFoldingAndBacktracking) {
    const std::vector<const wchar_t*> matching = {
        L"",           L"",           L"",           L"***",        L"chrome.exe",  L"*",          L"x",
        L"**",         L"CHROME.EXE", L"chrome.exe", L"chrome.exe", L"CHROME.EXE",  L"\u00e9.exe", L"\u00e9.EXE",
        L"chrome.exe", L"chrome?exe", L"a*b",        L"a?b",        L"chrome",      L"chrome***",  L"chrome.exe",
        L"chrome*",    L".exe",       L"*.exe",      L"a.b.exe",    L"*.exe",       L"xaxb",       L"*a*b",
        L"aab",        L"*a*b",       L"abcabcabd",  L"*abd",       L"mississippi", L"m*iss*ppi",  L"abxbc",
        L"a*?c"};
    const std::vector<const wchar_t*> different = {
        L"",          L"?",          L"",    L"*?",          L"a",          L"",       L"`",
        L"@",         L"{",          L"[",   L"\u00e9.exe",  L"\u00c9.exe", L"\u03b1", L"\u0391",
        L"chromeexe", L"chrome?exe", L"ab",  L"a??",         L"a.exe2",     L"*.exe",  L"chrome",
        L"chrome*x",  L"ab c",       L"a*b", L"mississippi", L"m*iss*ppx"};
    for (const bool expected : {true, false}) {
        const auto& pairs = expected ? matching : different;
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
            EXPECT_EQ(WildcardMatch(pairs[i], pairs[i + 1]), expected) << pairs[i] << " ~ " << pairs[i + 1];
        }
    }
}
