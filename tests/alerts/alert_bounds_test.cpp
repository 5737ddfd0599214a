#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/alert_delivery.h"
#include "alerts/alert_log.h"
#include "support/alert_test_support.h"
#include "support/test_support.h"

// Alerts gathered under a long throttle keep only what a balloon can show, and are shown once the
// interval has passed even when no later alert comes.
TEST(AlertBounds, GatheredAlertsStayBoundedAndFlushWhenTheIntervalEnds) {
    AlertNotificationState state;
    ASSERT_TRUE(GatherBalloon(state, MakeAlert(1), 100000, 30));
    for (uint32_t pid = 2; pid <= 5001; ++pid) {
        EXPECT_FALSE(GatherBalloon(state, MakeAlert(pid), 100000 + pid, 30));
    }
    EXPECT_EQ(state.PendingCount, 5000u);
    EXPECT_LT(state.PendingNotifications.size(), 20u);
    EXPECT_EQ(MsUntilBalloonFlush(state, 110000, 30), 20000u);
    EXPECT_FALSE(FlushBalloon(state, 129999, 30));

    const auto flushed = FlushBalloon(state, 130000, 30);
    ASSERT_TRUE(flushed);
    EXPECT_EQ(flushed->Title, L"Watchkeep: 5000 Alerts");
    EXPECT_EQ(flushed->Text.substr(0, 34), L"p.exe (PID 2): Threads: 9 > 8\np.ex");
    EXPECT_EQ(flushed->Text.size(), kBalloonTextMaxChars);
    EXPECT_EQ(state.PendingCount, 0u);
    EXPECT_EQ(MsUntilBalloonFlush(state, 130001, 30), 0u);

    // A lone gathered alert flushes as its own balloon.
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(9, L"x.exe", L"Handles: 6 > 5"), 140000, 30));
    EXPECT_EQ(*FlushBalloon(state, 160000, 30), (BalloonText{L"Watchkeep Alert: x.exe (PID 9)", L"Handles: 6 > 5"}));
}

// Long lines are cut in UTF-16 units without splitting a pair; a damaged log is read back only as
// far as the scan limit reaches.
TEST(AlertBounds, LongLinesCutInUnitsAndTheTailScanStopsAtItsLimit) {
    TestFolder folder;
    // 2046 units of violation and time/pid/process fields, then a pair that does not fit the piece.
    const std::string head = "2024-06-01 12:00:00\t7\tp.exe\t";
    const std::string line = head + std::string(2046 - head.size(), 'v') + "\xF0\x9F\x98\x80" + "\t8\tq.exe\tnext\r\n";
    const std::wstring log = folder.Write(L"long.log", line);
    std::vector<AlertRecord> records;
    ASSERT_TRUE(ReadAlertLogTail(log, 1000, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Violation.size(), 2046 - head.size());
    EXPECT_EQ(records[1].Process, L"q.exe");
    EXPECT_EQ(records, ReadAlertLogReference(line));

    // One record, then 4 KB of damage without a line end: a 1 KB limit finds nothing behind it.
    const std::string record = FormatAlertLogLine(MakeAlert(3));
    const std::wstring damaged = folder.Write(L"damaged.log", record + std::string(4096, 'x'));
    ASSERT_TRUE(ReadAlertLogTail(damaged, 1000, records, 256, 1024));
    EXPECT_TRUE(records.empty());
    ASSERT_TRUE(ReadAlertLogTail(damaged, 1000, records, 256, 8192));
    EXPECT_EQ(records, std::vector<AlertRecord>{MakeAlert(3)});
}
