#include <gtest/gtest.h>

#include "update/version.h"

TEST(Version, PacksFourComponentsWithSpillOver) {
    EXPECT_EQ(ParseVersion(kVersionText), 279u);
    EXPECT_EQ(ParseVersion(kDisplayVersion), 279u);
    EXPECT_EQ(ParseVersion(L"0.0.1.24"), 280u);
    EXPECT_EQ(ParseVersion(L"10.20.30"), 0x0A141E00u);
    EXPECT_EQ(ParseVersion(L"0.256.0.0"), 0x01000000u);
    EXPECT_EQ(ParseVersion(L"1.256.0.0"), 0x01000000u);
    EXPECT_EQ(ParseVersion(L"1.2.3"), 0u);
    EXPECT_EQ(ParseVersion(nullptr), 0u);
    EXPECT_EQ(ParseVersion(L"0.0.0.0"), 0u);
}

TEST(Version, OnlyAStrictlyGreaterNumberIsNewer) {
    EXPECT_TRUE(IsNewerVersion(L"0.0.1.24"));
    EXPECT_FALSE(IsNewerVersion(L"0.0.1.23"));
    EXPECT_FALSE(IsNewerVersion(L"0.0.0.0"));
    EXPECT_FALSE(IsNewerVersion(kDisplayVersion));
}
