#include <gtest/gtest.h>

#include "ui/history_csv.h"

TEST(HistoryCsv, LocalTimesRoundTripAndEveryPointIsALineOfTheAlertLogsKind) {
    const AlertTime local = LocalTimeOf(1717243201.25, 7200);  // 2024-06-01 12:00:01.25 UTC, a Saturday
    EXPECT_EQ(local, (AlertTime{2024, 6, 6, 1, 14, 0, 1, 250}));
    EXPECT_EQ(UnixTimeOf(local, 7200), 1717243201.25);
    EXPECT_EQ(LocalTimeOf(951782400, 0).Day, 29u);  // 2000-02-29
    const ProcessTrack track{{42, 7}, L"a\"b.exe", 0.0, {{1717243201, 12.5, 3 << 20, 5, 9, 2, 0, 0}, {1717243231}}};
    EXPECT_EQ(FormatHistoryCsv(track, L"H", 0), "\xEF\xBB\xBFH\r\n"
                                                "\"2024-06-01 12:00:01\",42,\"a\"\"b.exe\",9,3145728,5,12.5,2,0,0\r\n"
                                                "\"2024-06-01 12:00:31\",42,\"a\"\"b.exe\",0,0,0,0,0,0,0\r\n");
}
