#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/alert_history.h"
#include "settings/app_settings.h"
#include "support/alert_test_support.h"
#include "support/test_folder.h"

TEST(AlertHistory, KeepsTheNewestThousandWhenAppendingAndLoadingAndClearDeletesTheFile) {
    AlertHistoryLock()->Clear();
    for (uint32_t pid = 1; pid <= 1001; ++pid) {
        AppendAlertHistory(MakeAlert(pid));
    }
    std::vector<AlertRecord> history = CopyAlertHistory();
    ASSERT_EQ(history.size(), 1000u);
    EXPECT_EQ(history.front().PID, 2u);
    EXPECT_EQ(history.back().PID, 1001u);

    std::string bytes;
    for (uint32_t pid = 1; pid <= 1500; ++pid) {
        bytes += FormatAlertLogLine(MakeAlert(pid));
    }
    TestFolder folder;
    const std::wstring log = folder.Write(L"alerts.log", bytes);
    appSettings.LogFilePath.Set(folder.Path(L"missing.log"));
    LoadAlertLog();  // a missing file leaves the history as it is
    EXPECT_EQ(CopyAlertHistory(), history);

    appSettings.LogFilePath.Set(log);
    LoadAlertLog();
    history = CopyAlertHistory();
    ASSERT_EQ(history.size(), 1000u);
    for (size_t i = 0; i < history.size(); ++i) {
        ASSERT_EQ(history[i], MakeAlert(static_cast<uint32_t>(501 + i)));
    }

    ClearAlertHistory();
    EXPECT_TRUE(CopyAlertHistory().empty());
    EXPECT_FALSE(ReadFileBytes(log, bytes));
    appSettings.LogFilePath.Set(L"");
}
