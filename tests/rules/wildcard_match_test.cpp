#include <gtest/gtest.h>

#include "rules/threshold_rule.h"
#include "rules/wildcard_match.h"

TEST(WildcardMatch, EmptyNameAndEmptyPattern) {
    EXPECT_TRUE(WildcardMatch(L"", L""));
    EXPECT_TRUE(WildcardMatch(L"", L"*"));
    EXPECT_TRUE(WildcardMatch(L"", L"***"));
    EXPECT_FALSE(WildcardMatch(L"", L"?"));
    EXPECT_FALSE(WildcardMatch(L"", L"*?"));
    EXPECT_FALSE(WildcardMatch(L"a", L""));
}

TEST(WildcardMatch, StarMatchesEverything) {
    EXPECT_TRUE(WildcardMatch(L"chrome.exe", L"*"));
    EXPECT_TRUE(WildcardMatch(L"x", L"**"));
}

TEST(WildcardMatch, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(WildcardMatch(L"CHROME.EXE", L"chrome.exe"));
    EXPECT_TRUE(WildcardMatch(L"Chrome.exe", L"chrome.exe"));
    EXPECT_TRUE(WildcardMatch(L"chrome.exe", L"CHROME.EXE"));
    // A wrong fold would make '@' (0x40) or '[' (0x5B), neighbours of A and Z, equal to letters.
    EXPECT_FALSE(WildcardMatch(L"`", L"@"));
    EXPECT_FALSE(WildcardMatch(L"{", L"["));
    // Accented letters and other scripts must match exactly.
    EXPECT_FALSE(WildcardMatch(L"\u00e9.exe", L"\u00c9.exe"));
    EXPECT_TRUE(WildcardMatch(L"\u00e9.exe", L"\u00e9.EXE"));
    EXPECT_FALSE(WildcardMatch(L"\u03b1", L"\u0391"));
}

TEST(WildcardMatch, QuestionMarkIsExactlyOneCharacter) {
    EXPECT_TRUE(WildcardMatch(L"chrome.exe", L"chrome?exe"));
    EXPECT_FALSE(WildcardMatch(L"chromeexe", L"chrome?exe"));
    EXPECT_FALSE(WildcardMatch(L"ab", L"a??"));
    EXPECT_TRUE(WildcardMatch(L"a*b", L"a?b"));  // '*' in a name is an ordinary character
}

TEST(WildcardMatch, TrailingStars) {
    EXPECT_TRUE(WildcardMatch(L"chrome", L"chrome*"));
    EXPECT_TRUE(WildcardMatch(L"chrome.exe", L"chrome*"));
    EXPECT_TRUE(WildcardMatch(L"chrome", L"chrome***"));
    EXPECT_TRUE(WildcardMatch(L".exe", L"*.exe"));
    EXPECT_TRUE(WildcardMatch(L"a.b.exe", L"*.exe"));
    EXPECT_FALSE(WildcardMatch(L"a.exe2", L"*.exe"));
    EXPECT_FALSE(WildcardMatch(L"chrome", L"chrome*x"));
}

TEST(WildcardMatch, BacktracksToTheLastStar) {
    EXPECT_TRUE(WildcardMatch(L"xaxb", L"*a*b"));
    EXPECT_TRUE(WildcardMatch(L"aab", L"*a*b"));
    EXPECT_FALSE(WildcardMatch(L"ab c", L"a*b"));
    EXPECT_TRUE(WildcardMatch(L"abcabcabd", L"*abd"));
    EXPECT_TRUE(WildcardMatch(L"mississippi", L"m*iss*ppi"));
    EXPECT_FALSE(WildcardMatch(L"mississippi", L"m*iss*ppx"));
    EXPECT_TRUE(WildcardMatch(L"abxbc", L"a*?c"));
}

TEST(ThresholdRule, DefaultsOfANewRule) {
    const ThresholdRule rule;
    EXPECT_TRUE(rule.Enabled);
    EXPECT_TRUE(rule.ProcessPattern.empty());
    EXPECT_EQ(rule.MaxHandles, 0u);
    EXPECT_EQ(rule.MaxWorkingSetBytes, 0u);
    EXPECT_EQ(rule.MaxPrivateBytes, 0u);
    EXPECT_EQ(rule.MaxCPU, 0.0);
    EXPECT_EQ(rule.MaxThreads + rule.MaxGDI + rule.MaxUSER, 0u);
    EXPECT_EQ(rule.AlertActions, 3u);
    EXPECT_EQ(rule.CooldownSec, 60u);
}
