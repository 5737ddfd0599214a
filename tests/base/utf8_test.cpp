#include <gtest/gtest.h>

#include <string>

#include "base/utf8.h"

namespace {
const std::wstring kReplacement(1, static_cast<wchar_t>(0xFFFD));

std::wstring Emoji() {  // U+1F600 in whatever width wchar_t has
    if constexpr (sizeof(wchar_t) == 2) {
        return std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        return std::wstring(1, static_cast<wchar_t>(0x1F600));
    }
}
}  // namespace

TEST(Utf8, RoundTripsEveryPlane) {
    const std::wstring text = L"a\u00e9\u20ac\u4e2d" + Emoji() + L"z";
    const std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToWide(utf8), text);
    if constexpr (sizeof(wchar_t) == 2) {
        EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
    }
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xFFz"), L"a" + kReplacement + L"z");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), kReplacement + kReplacement);                     // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);  // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80").size(), 4u);                               // beyond U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), kReplacement);                                    // truncated at the end
    EXPECT_EQ(Utf8ToWide("\xE2\x82x"), kReplacement + L"x");                            // truncated mid-text
}

TEST(Utf8, LoneSurrogatesAreReplacedWhenEncoding) {
    const std::wstring lone{L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC00)};
    EXPECT_EQ(WideToUtf8(lone),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(Utf8, ByteOrderMarkIsSkippedOnlyAtTheStart) {
    EXPECT_EQ(SkipUtf8Bom("\xEF\xBB\xBFRuleId"), "RuleId");
    EXPECT_EQ(SkipUtf8Bom("RuleId"), "RuleId");
    EXPECT_EQ(SkipUtf8Bom("\xEF\xBB"), "\xEF\xBB");
    EXPECT_EQ(SkipUtf8Bom("x\xEF\xBB\xBF"), "x\xEF\xBB\xBF");
}
