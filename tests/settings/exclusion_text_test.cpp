#include <gtest/gtest.h>

#include "settings/exclusion_text.h"

TEST(ExclusionText, SplitsAtLineEndsTrimsDropsBlanksAndJoinsBack) {
    const struct {
        const wchar_t* text;
        ExclusionList patterns;
    } cases[] = {
        {L"", {}},
        {L"\r\n  \r\n\t\n\r", {}},
        {L"\r\n notepad.exe \r\n\r\n   \r\nmy app.exe\t\n\rB*.EXE\rB*.EXE\r\n",
         {L"notepad.exe", L"my app.exe", L"B*.EXE", L"B*.EXE"}},
        {L"\v\fx?.exe", {L"x?.exe"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseExclusionText(c.text), c.patterns) << c.text;
    }
    EXPECT_EQ(JoinExclusionText({L"notepad.exe", L"my app.exe"}), L"notepad.exe\r\nmy app.exe");
    EXPECT_EQ(JoinExclusionText({}), L"");
}
