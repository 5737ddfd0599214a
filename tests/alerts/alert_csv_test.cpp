#include <gtest/gtest.h>

#include "alerts/alert_csv.h"
#include "alerts/alert_history.h"
#include "support/alert_test_support.h"
#include "support/test_support.h"

TEST(AlertCsv, WritesMarkHeaderAndHistoryOldestFirstWithInnerQuotesDoubled) {
    TestFolder folder;
    const std::wstring path = folder.Path(L"alerts.csv");
    AlertHistoryLock()->Clear();
    ASSERT_TRUE(ExportAlertCsv(path, L"Time,PID,Process,Violation"));
    EXPECT_EQ(TestFolder::Read(path), "\xEF\xBB\xBFTime,PID,Process,Violation\r\n");
    AppendAlertHistory(MakeAlert(7, L"a,b.exe"));
    AppendAlertHistory(MakeAlert(4294967295u, L"say \"hi\".exe", L"caf\u00e9 \"\" x"));
    ASSERT_TRUE(ExportAlertCsv(path, L"H"));
    EXPECT_EQ(TestFolder::Read(path),
              "\xEF\xBB\xBFH\r\n"
              "\"2024-06-01 12:00:07\",7,\"a,b.exe\",\"Threads: 9 > 8\"\r\n"
              "\"2024-06-01 12:00:15\",4294967295,\"say \"\"hi\"\".exe\",\"caf\xC3\xA9 \"\"\"\" x\"\r\n");
    EXPECT_FALSE(ExportAlertCsv(folder.Path(L"no folder/alerts.csv"), L"H"));
    AlertHistoryLock()->Clear();
}
