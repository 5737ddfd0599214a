#include <gtest/gtest.h>

#include "base/resource_format.h"
#include "base/utf8.h"
#include "support/test_support.h"

// A hook left in place after its capture ends would be called on a dead object: linux-asan sees it.
TEST(DebugTrace, FormatsWideArgumentsAsTheyAreAndCutsAt1022CharactersAsResourceTextsFillTheirPlaceholder) {
    const std::wstring path = L"C:\\Users\\\u00e9\\rules.csv", exact(1022, L'a');
    TraceCapture capture;
    DebugTrace(L"RuleStore::Load - Loaded %u rules from %ls", 3u, path.c_str());
    DebugTrace(L"%.1f|%d|%ls\n", 1.04, -7, L"x");
    DebugTrace(L"%ls", exact.c_str());
    DebugTrace(L"%ls", std::wstring(1500, L'b').c_str());
    DebugTrace(L"12%ls", std::wstring(1021, L'c').c_str());
    // A pair of UTF-16 units across the cut goes whole (a 32-bit wchar_t holds it in one).
    const std::wstring pair = std::wstring(1019, L'd') + L"\U0001F600";
    DebugTrace(L"12%ls", pair.c_str());
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring>{L"RuleStore::Load - Loaded 3 rules from " + path, L"1.0|-7|x\n", exact,
                                         std::wstring(1022, L'b'), L"12" + std::wstring(1020, L'c'),
                                         L"12" + (sizeof(wchar_t) == 2 ? pair.substr(0, 1019) : pair)}));
    EXPECT_EQ(FillPlaceholder(L"%s/%s 100%% %d %", L"x"), L"x/x 100% %d %");
    EXPECT_EQ(FillPlaceholder(L"Click here to update to version %s.", L""), L"Click here to update to version .");
}

TEST(FileIo, BytesRoundTripThroughANonAsciiPathUntranslated) {
    TestFolder folder;
    const std::wstring path = folder.Path(L"") + L"file_io_\u00e9\u4e2d.txt";
    const std::string bytes = std::string("\xEF\xBB\xBFline one\r\nline \xC3\xA9\n") + '\0' + "end";
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    std::string read = "untouched";
    ASSERT_TRUE(ReadFileBytes(path, read));
    EXPECT_EQ(read, bytes);  // binary: no CR LF translation, NUL kept
    EXPECT_TRUE(RemoveFile(path));
    EXPECT_FALSE(RemoveFile(path));
    EXPECT_FALSE(ReadFileBytes(path, read));
    EXPECT_EQ(read, bytes);  // left as it was
}

TEST(Utf8, RoundTripsEveryPlaneReplacesWhatIsInvalidAndSkipsOnlyALeadingMark) {
    const std::wstring emoji = sizeof(wchar_t) == 2 ? std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}
                                                    : std::wstring(1, static_cast<wchar_t>(0x1F600));
    const std::wstring text = L"a\u00e9\u20ac\u4e2d" + emoji + L"z", bad(1, wchar_t(0xFFFD));
    EXPECT_EQ(WideToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToWide("a\xFFz"), L"a" + bad + L"z");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), bad + bad);            // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), bad + bad + bad);  // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80").size(), 4u);    // beyond U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), bad);                  // truncated at the end
    EXPECT_EQ(Utf8ToWide("\xE2\x82x"), bad + L"x");          // truncated mid-text
    const std::wstring lone{L'a', wchar_t(0xD800), L'b', wchar_t(0xDC00)};
    EXPECT_EQ(WideToUtf8(lone), std::string("a\xEF\xBF\xBD") + "b\xEF\xBF\xBD");
    EXPECT_EQ(SkipUtf8Bom("\xEF\xBB\xBFRuleId"), "RuleId");
    EXPECT_EQ(SkipUtf8Bom("RuleId"), "RuleId");
    EXPECT_EQ(SkipUtf8Bom("\xEF\xBB"), "\xEF\xBB");
    EXPECT_EQ(SkipUtf8Bom("x\xEF\xBB\xBF"), "x\xEF\xBB\xBF");
}
