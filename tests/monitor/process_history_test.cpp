#include <gtest/gtest.h>

#include "monitor/process_history.h"

namespace {

ProcessSample Sample(uint32_t id, uint64_t created, uint64_t workingSet, bool excluded = false) {
    return ProcessSample{.ProcessId = id, .ExeName = L"p" + std::to_wstring(id), .WorkingSetBytes = workingSet,
                         .CreationTime = created, .Excluded = excluded};
}

std::vector<uint64_t> WorkingSets(const ProcessHistory& history, ProcessKey key) {
    ProcessTrack track;
    std::vector<uint64_t> values;
    if (history.Track(key, track)) {
        for (const HistoryPoint& point : track.Points) values.push_back(point.WorkingSetBytes);
    }
    return values;
}

}  // namespace

TEST(ProcessHistory, RingEndedProcessSameIdRestartedAndTenMinuteExpiry) {
    ProcessHistory history(3);
    for (uint64_t pass = 1; pass <= 4; ++pass) {
        history.Record(100.0 * pass, {Sample(7, 1, pass), Sample(9, 1, pass, true)});
    }
    EXPECT_EQ(WorkingSets(history, {7, 1}), (std::vector<uint64_t>{2, 3, 4}));  // oldest pass dropped
    EXPECT_TRUE(WorkingSets(history, {9, 1}).empty());                          // excluded: no history
    // Identifier 7 reused by a new process: the old one is ended and kept apart, for ten minutes.
    history.Record(500.0, {Sample(7, 2, 50)});
    ProcessTrack ended;
    ASSERT_TRUE(history.Track({7, 1}, ended));
    EXPECT_EQ(ended.EndedSeconds, 500.0);
    EXPECT_EQ(WorkingSets(history, {7, 2}), std::vector<uint64_t>{50});
    ProcessKey latest;
    EXPECT_TRUE(history.LatestWithId(7, latest) && latest == (ProcessKey{7, 2}));
    EXPECT_FALSE(history.LatestWithId(UINT32_MAX, latest));
    history.Record(1099.0, {Sample(7, 2, 51)});
    EXPECT_EQ(WorkingSets(history, {7, 1}).size(), 3u);
    history.Record(1100.0, {});
    EXPECT_TRUE(WorkingSets(history, {7, 1}).empty());
    EXPECT_EQ(WorkingSets(history, {7, 2}).size(), 2u);  // ended at 1100, kept until 1700
    EXPECT_EQ(history.LastPass().size(), 0u);
    EXPECT_EQ(history.PassCount(), 7u);
}

TEST(ProcessHistory, StaysUnderTheByteCapEvictingEndedProcessesFirst) {
    ProcessHistory history;
    std::vector<ProcessSample> running;
    for (uint32_t id = 1; id <= 300; ++id) running.push_back(Sample(id * 4, id, id));
    for (int pass = 0; pass < 800; ++pass) history.Record(pass, running);
    EXPECT_EQ(history.ProcessCount(), 300u);
    EXPECT_LT(history.Bytes(), kHistoryByteCap);
    // 300 more start while the first ones end: the ended ones make room, running ones stay whole.
    std::vector<ProcessSample> next;
    for (uint32_t id = 1; id <= 300; ++id) next.push_back(Sample(id * 4, id + 1000, id));
    history.Record(900.0, next);
    EXPECT_EQ(WorkingSets(history, {1200, 1300}).size(), 1u);
    EXPECT_EQ(WorkingSets(history, {1200, 300}).size(), kHistoryPasses);  // ended, kept while room is left
    for (uint32_t id = 1; id <= 300; ++id) next.push_back(Sample(id * 4 + 1, id, id));
    history.Record(901.0, next);
    EXPECT_LE(history.Bytes(), kHistoryByteCap);
    EXPECT_EQ(WorkingSets(history, {4, 1001}).size(), 2u);
    EXPECT_TRUE(WorkingSets(history, {4, 1}).empty());
}
