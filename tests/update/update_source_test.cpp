#include <gtest/gtest.h>

#include "update/signer_pin.h"
#include "update/update_source.h"
#include "update/version.h"

// Four components packed with spill-over; only a greater number is newer.
TEST(UpdateSource, RepliesKeepTheirDigitsAndDotsPackIntoVersionsAndTheInstallerSitsOneBackslashBelowTemp) {
    const std::tuple<const wchar_t*, const wchar_t*, uint32_t> replies[] = {
        {L"0.0.1.24\r\n", L"0.0.1.24", 280},
        {L"Version 1.2.3", L"1.2.3", 0},
        {L"1.2.3.4 build 5", L"1.2.3.45", 0x0102032D},
        {L"<b>v10.20.30</b>", L"10.20.30", 0x0A141E00},
    };
    for (const auto& [reply, filtered, number] : replies) {
        EXPECT_EQ(FilterVersionText(reply), filtered) << reply;
        EXPECT_EQ(ParseVersion(FilterVersionText(reply).c_str()), number) << reply;
    }
    EXPECT_EQ(InstallerPath(L"C:\\Temp\\"), L"C:\\Temp\\Watchkeep\\watchkeepsetup.exe");
    EXPECT_EQ(InstallerPath(L"C:\\Temp"), InstallerPath(L"C:\\Temp\\"));
    EXPECT_EQ(ParseVersion(L"0.256.0.0"), 0x1000000u);
    EXPECT_EQ(ParseVersion(L"1.256.0.0"), 0x1000000u);
    EXPECT_EQ(ParseVersion(nullptr), 0u);
    EXPECT_TRUE(IsNewerVersion(L"0.0.1.24"));
    EXPECT_FALSE(IsNewerVersion(kDisplayVersion));
    EXPECT_FALSE(IsNewerVersion(L"0.0.0.0"));
    // Only https is asked; signers are pinned in any notation openssl or Windows prints.
    EXPECT_FALSE(IsHttpsAddress(L"http://localhost/") || IsHttpsAddress(L"https://") || IsHttpsAddress(L"httpsx://a"));
    const std::wstring pin(L"00B0F73059508BA7954C1F787400A6DA85671ECFABA9848DD62AAA5D0F09A8FD");
    EXPECT_TRUE(SignerAllowed(L"AA, " + pin, L"00:b0:f7:30:59:50:8b:a7:95:4c:1f:78:74:00:a6:da:85:67:1e:cf:"
                                             L"ab:a9:84:8d:d6:2a:aa:5d:0f:09:a8:fd"));
    EXPECT_FALSE(SignerAllowed(L"", pin) || SignerAllowed(pin.substr(2), pin) || SignerAllowed(pin, pin.substr(2)));
}
