#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "alerts/temp_file.h"
#include "app/app_settings.h"
#include "app/file_io.h"

namespace {

AlertRecord Numbered(uint32_t pid) {
    AlertRecord record;
    record.Time = {2024, 6, 0, 1, 12, 0, static_cast<uint16_t>(pid % 60), 0};
    record.PID = pid;
    record.Process = L"p" + std::to_wstring(pid) + L".exe";
    record.Violation = L"Threads: 9 > 8";
    return record;
}

// Points LogFilePath at a file of the test's own and empties the history, both undone at the end.
class AlertHistoryGlobal : public ::testing::Test {
protected:
    AlertHistoryGlobal() : log_("alert_history") {
        savedPath_ = appSettings.LogFilePath.Get();
        appSettings.LogFilePath.Set(log_.Path());
        AlertHistoryLock history;
        history->Clear();
    }
    ~AlertHistoryGlobal() override {
        appSettings.LogFilePath.Set(savedPath_);
        AlertHistoryLock history;
        history->Clear();
    }
    TempFile log_;
    std::wstring savedPath_;
};

}  // namespace

TEST(AlertHistoryList, KeepsTheNewestThousandEitherWay) {
    AlertHistory appended;
    for (uint32_t pid = 1; pid <= 1001; ++pid) appended.Append(Numbered(pid));
    ASSERT_EQ(appended.Count(), 1000u);
    EXPECT_EQ(appended.At(0).PID, 2u);
    EXPECT_EQ(appended.At(999).PID, 1001u);

    std::vector<AlertRecord> many;
    for (uint32_t pid = 1; pid <= 1500; ++pid) many.push_back(Numbered(pid));
    AlertHistory replaced;
    replaced.Append(Numbered(99999));
    replaced.Replace(many);
    ASSERT_EQ(replaced.Count(), 1000u);
    EXPECT_EQ(replaced.At(0).PID, 501u);
    EXPECT_EQ(replaced.At(999).PID, 1500u);
    EXPECT_EQ(replaced.Copy(), std::vector<AlertRecord>(many.begin() + 500, many.end()));
}

TEST_F(AlertHistoryGlobal, LoadKeepsTheLastThousandLinesInFileOrder) {
    std::string bytes;
    for (uint32_t pid = 1; pid <= 1500; ++pid) bytes += FormatAlertLogLine(Numbered(pid));
    ASSERT_TRUE(WriteFileBytes(log_.Path(), bytes));
    AppendAlertHistory(Numbered(77777));  // replaced by the load

    LoadAlertLog();
    const std::vector<AlertRecord> history = CopyAlertHistory();
    ASSERT_EQ(history.size(), 1000u);
    for (size_t i = 0; i < history.size(); ++i) ASSERT_EQ(history[i], Numbered(static_cast<uint32_t>(501 + i)));

    // A missing file leaves the history as it is.
    appSettings.LogFilePath.Set(log_.Path() + L".missing");
    LoadAlertLog();
    EXPECT_EQ(CopyAlertHistory().size(), 1000u);
}

TEST_F(AlertHistoryGlobal, ClearEmptiesTheHistoryAndDeletesTheFile) {
    ASSERT_TRUE(AppendAlertLogLine(log_.Path(), Numbered(1)));
    AppendAlertHistory(Numbered(1));
    ClearAlertHistory();
    EXPECT_EQ(AlertHistoryLock()->Count(), 0u);
    std::string bytes;
    EXPECT_FALSE(ReadFileBytes(log_.Path(), bytes));

    ASSERT_TRUE(AppendAlertLogLine(log_.Path(), Numbered(2)));
    ASSERT_TRUE(ReadFileBytes(log_.Path(), bytes));
    EXPECT_EQ(bytes, FormatAlertLogLine(Numbered(2)));
}

// Readers that hold the lock see a consistent list while another thread appends.
TEST_F(AlertHistoryGlobal, ReadersUnderTheLockSeeWholeRecordsInOrder) {
    std::thread writer([] {
        for (uint32_t pid = 1; pid <= 3000; ++pid) AppendAlertHistory(Numbered(pid));
    });
    for (int round = 0; round < 200; ++round) {
        AlertHistoryLock history;
        for (size_t i = 1; i < history->Count(); ++i) {
            ASSERT_EQ(history->At(i).PID, history->At(i - 1).PID + 1);
        }
    }
    writer.join();
    AlertHistoryLock history;
    ASSERT_EQ(history->Count(), 1000u);
    EXPECT_EQ(history->At(999), Numbered(3000));
}
