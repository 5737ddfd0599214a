#include <gtest/gtest.h>

#include "update/version.h"

TEST(Version, PacksFourComponentsWithSpillOverAndOnlyAGreaterNumberIsNewer) {
    const std::pair<const wchar_t*, uint32_t> cases[] = {
        {kVersionText, 279},       {kDisplayVersion, 279},    {L"0.0.1.24", 280}, {L"10.20.30", 0x0A141E00},
        {L"0.256.0.0", 0x1000000}, {L"1.256.0.0", 0x1000000}, {L"1.2.3", 0},      {nullptr, 0},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(ParseVersion(text), number) << (text ? text : L"(none)");
    }
    EXPECT_TRUE(IsNewerVersion(L"0.0.1.24"));
    EXPECT_FALSE(IsNewerVersion(kDisplayVersion));
    EXPECT_FALSE(IsNewerVersion(L"0.0.0.0"));
}
