#include <gtest/gtest.h>

#include <vector>

#include "monitor/cpu_usage.h"

namespace {

// Times are in 100 ns units: one millisecond of CPU is 10000.
constexpr uint64_t kMs = 10000;

ProcessSample Measured(uint32_t pid, uint64_t kernel, uint64_t user, uint64_t creation) {
    ProcessSample sample;
    sample.ProcessId = pid;
    sample.KernelTime = kernel;
    sample.UserTime = user;
    sample.CreationTime = creation;
    return sample;
}

}  // namespace

TEST(CpuUsage, FirstMeasurementReadsZeroThenShareOfAllProcessors) {
    CpuHistory history;
    std::vector<ProcessSample> first{Measured(10, 100 * kMs, 200 * kMs, 7)};
    UpdateCpuUsage(first, history, 5000, 4);
    EXPECT_EQ(first[0].CpuPercent, 0.0);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[10].SampleTick, 5000u);

    // 1000 ms of one busy thread (kernel + user) over 1000 ms on four processors is a quarter.
    std::vector<ProcessSample> second{Measured(10, 400 * kMs, 900 * kMs, 7)};
    UpdateCpuUsage(second, history, 6000, 4);
    EXPECT_DOUBLE_EQ(second[0].CpuPercent, 25.0);

    std::vector<ProcessSample> third{Measured(10, 400 * kMs, 1150 * kMs, 7)};
    UpdateCpuUsage(third, history, 7000, 1);
    EXPECT_DOUBLE_EQ(third[0].CpuPercent, 25.0);
    EXPECT_EQ(history[10].UserTime, 1150 * kMs);
}

TEST(CpuUsage, ClampsAndLeavesZeroWhenNoTimeElapsed) {
    CpuHistory history;
    std::vector<ProcessSample> samples{Measured(10, kMs, 0, 7), Measured(11, 50 * kMs, 0, 8)};
    UpdateCpuUsage(samples, history, 1000, 2);

    // 5000 ms busy in 1000 ms on two processors would be 250 %; a tick that did not move gives 0.
    std::vector<ProcessSample> next{Measured(10, 5001 * kMs, 0, 7), Measured(11, 60 * kMs, 0, 8)};
    UpdateCpuUsage(next, history, 2000, 2);
    EXPECT_EQ(next[0].CpuPercent, 100.0);
    std::vector<ProcessSample> same{Measured(10, 5002 * kMs, 0, 7)};
    UpdateCpuUsage(same, history, 2000, 2);
    EXPECT_EQ(same[0].CpuPercent, 0.0);
    EXPECT_EQ(history[10].KernelTime, 5002 * kMs);

    // Times that went backwards wrap to a huge busy figure: still 100 at most, never negative.
    std::vector<ProcessSample> back{Measured(10, kMs, 0, 7)};
    UpdateCpuUsage(back, history, 3000, 2);
    EXPECT_EQ(back[0].CpuPercent, 100.0);
}

TEST(CpuUsage, ReusedIdentifierStartsAfreshAndVanishedOnesAreForgotten) {
    CpuHistory history;
    std::vector<ProcessSample> samples{Measured(10, 100 * kMs, 0, 7), Measured(20, 100 * kMs, 0, 9),
                                       Measured(30, 100 * kMs, 0, 5)};
    UpdateCpuUsage(samples, history, 1000, 1);

    // 10 now has another creation time; 20 was not measured (zero times) but still runs; 30 ended.
    ProcessSample unmeasured;
    unmeasured.ProcessId = 20;
    std::vector<ProcessSample> next{Measured(10, 900 * kMs, 0, 8), unmeasured};
    UpdateCpuUsage(next, history, 2000, 1);
    EXPECT_EQ(next[0].CpuPercent, 0.0);
    EXPECT_EQ(history[10].CreationTime, 8u);
    EXPECT_EQ(history[10].SampleTick, 2000u);
    ASSERT_EQ(history.count(20), 1u);
    EXPECT_EQ(history[20].SampleTick, 1000u);
    EXPECT_EQ(history.count(30), 0u);

    // Measured again, 20's figure averages over the whole gap since its old entry.
    std::vector<ProcessSample> later{Measured(20, 400 * kMs, 0, 9)};
    UpdateCpuUsage(later, history, 4000, 1);
    EXPECT_DOUBLE_EQ(later[0].CpuPercent, 10.0);
}
