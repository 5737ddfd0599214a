#include <gtest/gtest.h>

#include "update/update_source.h"
#include "update/version.h"

TEST(UpdateSource, RepliesKeepTheirDigitsAndDotsAndOnlyAFourPartVersionCounts) {
    const struct {
        const wchar_t* reply;
        const wchar_t* filtered;
        uint32_t number;
    } cases[] = {
        {L"0.0.1.24\r\n", L"0.0.1.24", 280},
        {L"Version 1.2.3", L"1.2.3", 0},
        {L"1.2.3.4 build 5", L"1.2.3.45", 0x0102032D},
        {L"<b>v10.20.30</b>", L"10.20.30", 0x0A141E00},
        {L"", L"", 0},
    };
    for (const auto& [reply, filtered, number] : cases) {
        const std::wstring kept = FilterVersionText(reply);
        EXPECT_EQ(kept, filtered) << reply;
        EXPECT_EQ(ParseVersion(kept.c_str()), number) << reply;
    }
}

TEST(UpdateSource, ChannelsPickTheirPathsAndTheInstallerSitsOneBackslashBelowTemp) {
    EXPECT_EQ(VersionInfoUrl(L"https://h", false), L"https://h/versioninfo/watchkeep/");
    EXPECT_EQ(VersionInfoUrl(L"https://h", true), L"https://h/versioninfo/watchkeep/beta/");
    EXPECT_EQ(InstallerUrl(L"https://h", false), L"https://h/files/watchkeepsetup.exe");
    EXPECT_EQ(InstallerUrl(L"https://h", true), L"https://h/files/beta/watchkeepsetup.exe");
    for (const wchar_t* temp : {L"C:\\Temp\\", L"C:\\Temp"}) {
        EXPECT_EQ(InstallerFolder(temp), L"C:\\Temp\\Watchkeep") << temp;
        EXPECT_EQ(InstallerPath(temp), L"C:\\Temp\\Watchkeep\\watchkeepsetup.exe") << temp;
    }
}
