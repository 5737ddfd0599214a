#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#ifndef _WIN32
#include <sys/mount.h>
#endif

#include "alerts/alert_csv.h"
#include "alerts/alert_delivery.h"
#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "alerts/alert_log_writer.h"
#include "base/utf8.h"
#include "support/alert_test_support.h"
#include "support/test_support.h"

namespace {

std::vector<AlertRecord> Alerts(uint32_t firstPid, uint32_t lastPid) {
    std::vector<AlertRecord> alerts;
    for (uint32_t pid = firstPid; pid <= lastPid; ++pid) {
        alerts.push_back(MakeAlert(pid));
    }
    return alerts;
}

struct RecordingOutputs final : AlertOutputs {
    uint32_t TickCount() override { return 50000; }
    void ShowBalloon(const BalloonText& balloon) override { balloons.push_back(balloon); }
    void PlaySoundFile(const std::wstring& path) override { sounds.push_back(path); }
    std::vector<BalloonText> balloons;
    std::vector<std::wstring> sounds;
};

}  // namespace

TEST(AlertLog, RoundTripThroughAFileWithTheMarkLfAndBlankLines) {
    const AlertTime time{2024, 3, 6, 9, 7, 5, 1, 250};
    const AlertRecord record = {time, 4294967292u, L"caf\u00e9 \u4e2d.exe", 9, L"Handles: 6000 > 5000; Threads: 9 > 8"};
    const std::string line =
        "2024-03-09 07:05:01\t4294967292\tcaf\xC3\xA9 \xE4\xB8\xAD.exe\tHandles: 6000 > 5000; Threads: 9 > 8\r\n";
    EXPECT_EQ(FormatAlertLogLine(record), line);
    const std::string earlier = "\xEF\xBB\xBF" + std::string("2024-01-01 00:00:01\t1\ta.exe\tone\n\r\n\nbad line\r\n");
    TestFolder folder;
    const std::wstring log = folder.Write(L"alerts.log", earlier);
    const AlertRecord longLine = MakeAlert(8, L"b.exe", std::wstring(5000, L'x'));
    ASSERT_TRUE(AppendAlertLogLine(log, record) && AppendAlertLogLine(log, longLine));
    EXPECT_EQ(TestFolder::Read(log), earlier + line + FormatAlertLogLine(longLine));
    const std::wstring cut = folder.Write(L"cut.log", "2024-01-01 00:00:01\t1\ta.exe\tone");
    ASSERT_TRUE(AppendAlertLogLine(cut, record));
    EXPECT_EQ(TestFolder::Read(cut), "2024-01-01 00:00:01\t1\ta.exe\tone\r\n" + line);
}

namespace {
std::atomic<bool> diskFull{true};
std::atomic<int> writes{0};
bool WriteUnlessFull(std::FILE* file, std::string_view bytes) {
    const bool full = diskFull;
    ++writes;
    return WriteOnce(file, full ? bytes.substr(0, bytes.size() / 2) : bytes) && !full;
}
}  // namespace

// Lines a full disk cut short are taken back and written in order later; Stop writes every line.
TEST(AlertLog, TheWriterRetriesWhatAFullDiskCutAndStopsWithEveryLineWritten) {
    TestFolder folder;
    const std::wstring log = folder.Path(L"alerts.log");
    AlertLogWriter writer(WriteUnlessFull, std::chrono::milliseconds(5));
    for (uint32_t pid = 1; pid <= 3; ++pid) {
        writer.Add(log, MakeAlert(pid));
    }
    while (writes < 3) {  // a retry after a cut write
        std::this_thread::yield();
    }
    diskFull = false;
    writer.Stop();
    EXPECT_EQ(TestFolder::Read(log), FormatAlertLogLine(MakeAlert(1)) + FormatAlertLogLine(MakeAlert(2)) +
                                         FormatAlertLogLine(MakeAlert(3)));
}

#ifndef _WIN32
// A real full file system (a small tmpfs, which needs root) cuts a write short: no part of it stays.
TEST(AlertLog, AFullFileSystemKeepsEachLineWholeOrNotAtAll) {
    TestFolder folder;
    const std::string full = WideToUtf8(folder.Path(L"full"));
    std::filesystem::create_directory(full);
    if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const AlertRecord record = MakeAlert(1, L"p.exe", std::wstring(3000, L'v'));
    std::string expected;
    while (AppendAlertLogLine(folder.Path(L"full") + L"/alerts.log", record)) {
        expected += FormatAlertLogLine(record);
    }
    const std::string kept = TestFolder::Read(folder.Path(L"full") + L"/alerts.log");
    umount(full.c_str());
    EXPECT_EQ(kept, expected);
}
#endif

TEST(AlertLog, ParsesFieldsAsWritten) {
    const AlertTime time = {2024, 1, 0, 2, 3, 4, 5, 0};
    const std::pair<const wchar_t*, AlertRecord> rows[] = {
        // An empty field stays empty instead of moving the later fields up.
        {L"2024-01-02 03:04:05\t12\t\tHandles: 2 > 1\r\n", {time, 12, L"", 0, L"Handles: 2 > 1"}},
        // Text after a fourth tab is ignored.
        {L"2024-01-02 03:04:05\t1\tp\tv\textra", {time, 1, L"p", 0, L"v"}},
        // Nothing validates the time; the parts after the first unreadable one stay 0.
        {L"2024-13-45 25:61:99\t1\tp\tv", {{2024, 13, 0, 45, 25, 61, 99, 0}, 1, L"p", 0, L"v"}},
        {L"2024-05-xx 01:02:03\t1\tp\tv", {{2024, 5, 0, 0, 0, 0, 0, 0}, 1, L"p", 0, L"v"}},
        // PID: leading blanks and a sign allowed, digits up to the first other character; three fields
        // leave the violation empty.
        {L"t\t  42abc\tp", {{}, 42, L"p", 0, L""}},
        {L"t\t-1\tp", {{}, 4294967295u, L"p", 0, L""}},
        // As the C runtime reads them: a time part wraps at 65536, a PID magnitude stops at 2^32 - 1.
        {L"70000-1-2 3:4:5\t99999999999\tp", {{4464, 1, 0, 2, 3, 4, 5, 0}, 4294967295u, L"p", 0, L""}},
        {L"t\t-99999999999\tp", {{}, 1, L"p", 0, L""}},
        {L"t\tnone\tp", {{}, 0, L"p", 0, L""}}};
    for (const auto& [line, expected] : rows) {
        AlertRecord record = MakeAlert(99, L"old", L"old", 5);
        ASSERT_TRUE(ParseAlertLogLine(line, record)) << WideToUtf8(line);
        EXPECT_EQ(record, expected) << WideToUtf8(line);
    }
    AlertRecord kept = MakeAlert(1);
    for (const wchar_t* bad : {L"", L"\r\n", L"\n", L"2024-01-02 03:04:05\t12", L"only one field"}) {
        EXPECT_FALSE(ParseAlertLogLine(bad, kept)) << WideToUtf8(bad);
    }
    EXPECT_EQ(kept, MakeAlert(1));
}

// The alert_log fuzz target compares the backward reader with a full read; here long lines are cut
// in UTF-16 units without splitting a pair, and a damaged log is read only as far as the scan limit.
TEST(AlertLog, LongLinesCutInUnitsAndTheTailScanStopsAtItsLimit) {
    TestFolder folder;
    // 2046 units of violation and time/pid/process fields, then a pair that does not fit the piece.
    const std::string head = "2024-06-01 12:00:00\t7\tp.exe\t";
    const std::string line = head + std::string(2046 - head.size(), 'v') + "\xF0\x9F\x98\x80" + "\t8\tq.exe\tnext\r\n";
    const std::wstring log = folder.Write(L"long.log", line);
    std::vector<AlertRecord> records;
    ASSERT_TRUE(ReadAlertLogTail(log, 1000, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Violation.size(), 2046 - head.size());
    EXPECT_EQ(records, ReadAlertLogReference(line));
    ASSERT_TRUE(ReadAlertLogTail(log, 1, records));  // pieces of one line count one by one
    EXPECT_EQ(records, std::vector<AlertRecord>{ReadAlertLogReference(line)[1]});
    // One record, then 4 KB of damage without a line end: a 1 KB limit finds nothing behind it.
    const std::wstring damaged =
        folder.Write(L"damaged.log", FormatAlertLogLine(MakeAlert(3)) + std::string(4096, 'x'));
    ASSERT_TRUE(ReadAlertLogTail(damaged, 1000, records, 256, 1024));
    EXPECT_TRUE(records.empty());
    ASSERT_TRUE(ReadAlertLogTail(damaged, 1000, records, 256, 8192));
    EXPECT_EQ(records, std::vector<AlertRecord>{MakeAlert(3)});
}

TEST(AlertHistory, KeepsTheNewestThousandWhenAppendingAndLoadingAndExportsThemOldestFirst) {
    AlertHistoryStore store;
    for (const AlertRecord& alert : Alerts(1, 1001)) {
        AppendAlertHistory(store, alert);
    }
    EXPECT_EQ(CopyAlertHistory(store), Alerts(2, 1001));
    std::string bytes;
    for (const AlertRecord& alert : Alerts(1, 1500)) {
        bytes += FormatAlertLogLine(alert);
    }
    TestFolder folder;
    LoadAlertLog(store, folder.Path(L"missing.log"));  // a missing file leaves the history as it is
    EXPECT_EQ(CopyAlertHistory(store), Alerts(2, 1001));
    LoadAlertLog(store, folder.Write(L"alerts.log", bytes));
    EXPECT_EQ(CopyAlertHistory(store), Alerts(501, 1500));
    // Every text field quoted with inner quotes doubled, in UTF-8 after the mark; PIDs unsigned.
    AlertHistoryLock(store)->Clear();
    AppendAlertHistory(store, MakeAlert(7, L"a,b.exe"));
    AppendAlertHistory(store, MakeAlert(4294967295u, L"say \"hi\".exe", L"caf\u00e9 \"\" x"));
    ASSERT_TRUE(ExportAlertCsv(store, folder.Path(L"alerts.csv"), L"H"));
    EXPECT_EQ(TestFolder::Read(folder.Path(L"alerts.csv")),
              "\xEF\xBB\xBFH\r\n\"2024-06-01 12:00:07\",7,\"a,b.exe\",\"Threads: 9 > 8\"\r\n"
              "\"2024-06-01 12:00:15\",4294967295,\"say \"\"hi\"\".exe\",\"caf\xC3\xA9 \"\"\"\" x\"\r\n");
    EXPECT_FALSE(ExportAlertCsv(store, folder.Path(L"no folder/alerts.csv"), L"H"));
}

TEST(AlertThrottle, GathersAlertsWithinTheIntervalIntoTheNextBalloonAcrossTheTickWrapAndFlushesThemBounded) {
    // The last balloon's tick starts at 0, so the first alert shows at once from tick 30000 on.
    AlertNotificationState state;
    EXPECT_EQ(GatherBalloon(state, MakeAlert(10, L"a.exe", L"Handles: 6 > 5"), 30000, 30),
              (BalloonText{L"Watchkeep Alert: a.exe (PID 10)", L"Handles: 6 > 5"}));
    // Three alerts within 30 s of it are gathered; the fourth, 30 s after it, shows all four.
    const uint32_t ticks[] = {30001, 45000, 59999, 60000};
    std::optional<BalloonText> gathered;
    for (uint32_t i = 0; i < 4; ++i) {
        gathered = GatherBalloon(state, MakeAlert(11 + i, L"b.exe", L"v" + std::to_wstring(i)), ticks[i], 30);
        EXPECT_EQ(gathered.has_value(), i == 3) << i;
    }
    EXPECT_EQ(gathered,
              (BalloonText{L"Watchkeep: 4 Alerts",
                           L"b.exe (PID 11): v0\nb.exe (PID 12): v1\nb.exe (PID 13): v2\nb.exe (PID 14): v3"}));
    state = {};
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(1), 29999, 30));  // before tick 30000 the first alert waits
    state.lastNotificationTick = 0xFFFFF000u;
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(1), 0x500u, 30));  // 5376 ms later, across the wrap
    EXPECT_TRUE(GatherBalloon(state, MakeAlert(2), 0xFFFFF000u + 30000u, 30));
    EXPECT_EQ(GatherBalloon(state, MakeAlert(7, std::wstring(100, L'n'), std::wstring(300, L'v')), 99000, 30),
              (BalloonText{L"Watchkeep Alert: " + std::wstring(46, L'n'), std::wstring(255, L'v')}));
    // Alerts gathered under a long throttle keep only what a balloon can show, and are shown once the
    // interval has passed even when no later alert comes.
    state = {};
    ASSERT_TRUE(GatherBalloon(state, MakeAlert(1), 100000, 30));
    for (uint32_t pid = 2; pid <= 5001; ++pid) {
        EXPECT_FALSE(GatherBalloon(state, MakeAlert(pid), 100000 + pid, 30));
    }
    EXPECT_LT(state.PendingNotifications.size(), 20u);
    EXPECT_EQ(MsUntilBalloonFlush(state, 110000, 30), 20000u);
    EXPECT_FALSE(FlushBalloon(state, 129999, 30));
    const auto flushed = FlushBalloon(state, 130000, 30);
    ASSERT_TRUE(flushed);
    EXPECT_EQ(flushed->Title, L"Watchkeep: 5000 Alerts");
    EXPECT_EQ(flushed->Text.substr(0, 34), L"p.exe (PID 2): Threads: 9 > 8\np.ex");
    EXPECT_EQ(flushed->Text.size(), kBalloonTextMaxChars);
    EXPECT_EQ(MsUntilBalloonFlush(state, 130001, 30), 0u);
    // A lone gathered alert flushes as its own balloon.
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(9, L"x.exe", L"Handles: 6 > 5"), 140000, 30));
    EXPECT_EQ(*FlushBalloon(state, 160000, 30), (BalloonText{L"Watchkeep Alert: x.exe (PID 9)", L"Handles: 6 > 5"}));
}

TEST(AlertDelivery, TheRuleMaskReplacesTheGlobalOneAndEmptyPathsSwitchActionsOff) {
    TestFolder folder;
    const std::wstring log = folder.Path(L"alerts.log");
    AppSettings settings;
    settings.AlertActions = 7;
    settings.LogFilePath.Set(log);
    settings.SoundFilePath.Set(L"alarm.wav");
    // Only the first rule with an id counts.
    const RuleList rules = {{.RuleId = 1, .ProcessPattern = L"*", .AlertActions = 0},
                            {.RuleId = 2, .ProcessPattern = L"*", .AlertActions = kActionLog | kActionSound},
                            {.RuleId = 2, .ProcessPattern = L"*", .AlertActions = 7}};
    AlertNotificationState state;
    RecordingOutputs outputs;
    AlertHistoryStore history;
    const AlertRecord silent = MakeAlert(100, L"silent.exe", L"v", 1);
    const AlertRecord logged = MakeAlert(200, L"logged.exe", L"v", 2);
    const AlertRecord orphan = MakeAlert(300, L"orphan.exe", L"v", 42);  // its rule was deleted: the global mask
    const AlertRecord backUnder{logged.Time, 200, L"logged.exe", 2, L"Back under: v", true};  // never sounds
    for (const AlertRecord& alert : {silent, logged, backUnder, orphan}) {
        DeliverAlertTo(alert, settings, rules, history, state, outputs);
    }
    EXPECT_EQ(CopyAlertHistory(history), (std::vector<AlertRecord>{silent, logged, backUnder, orphan}));
    const std::string lines = FormatAlertLogLine(logged) + FormatAlertLogLine(backUnder) + FormatAlertLogLine(orphan);
    EXPECT_EQ(TestFolder::Read(log), lines);
    EXPECT_EQ(outputs.sounds, (std::vector<std::wstring>{L"alarm.wav", L"alarm.wav"}));
    // Alerts without the balloon bit add no pending line: the orphan's balloon is a single one.
    ASSERT_EQ(outputs.balloons.size(), 1u);
    EXPECT_EQ(outputs.balloons[0].Title, L"Watchkeep Alert: orphan.exe (PID 300)");
    settings.LogFilePath.Set(L"");
    settings.SoundFilePath.Set(L"");
    DeliverAlertTo(orphan, settings, rules, history, state, outputs);
    EXPECT_EQ(TestFolder::Read(log), lines);
    EXPECT_EQ(outputs.sounds.size(), 2u);
    EXPECT_EQ(CopyAlertHistory(history).size(), 5u);
}
