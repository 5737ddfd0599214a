#include <gtest/gtest.h>

#include "base/resource_format.h"

TEST(ResourceFormat, FillsEveryPlaceholderAndKeepsOtherMarks) {
    EXPECT_EQ(FillPlaceholder(L"Version %s. <a>Check for updates</a>", L"0.0.1.23 BETA"),
              L"Version 0.0.1.23 BETA. <a>Check for updates</a>");
    EXPECT_EQ(FillPlaceholder(L"%s/%s 100%% %d %", L"x"), L"x/x 100% %d %");
    EXPECT_EQ(FillPlaceholder(L"Click here to update to version %s.", L""), L"Click here to update to version .");
}
