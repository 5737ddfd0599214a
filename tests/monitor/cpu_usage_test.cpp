#include <gtest/gtest.h>

#include "monitor/cpu_usage.h"

namespace {

// Process times in 100 ns units from milliseconds.
ProcessSample Times(uint32_t pid, uint64_t kernelMs, uint64_t userMs, uint64_t creation) {
    return {pid, L"app.exe", 0, 0, 0, 0, 0, 0, 0, kernelMs * 10000, userMs * 10000, creation};
}

std::vector<double> Pass(CpuHistory& history, std::vector<ProcessSample> samples, uint64_t now, uint32_t processors) {
    UpdateCpuUsage(samples, history, now, processors);
    std::vector<double> percents;
    for (const ProcessSample& sample : samples) {
        percents.push_back(sample.CpuPercent);
    }
    return percents;
}

using Percents = std::vector<double>;

}  // namespace

TEST(CpuUsage, ShareOfAllProcessorsClampedAndZeroWithoutElapsedTime) {
    CpuHistory history;
    EXPECT_EQ(Pass(history, {Times(10, 100, 200, 7), Times(11, 50, 0, 8)}, 5000, 4), (Percents{0, 0}));
    // 1000 ms of kernel plus user time over 1000 ms on four processors is a quarter; 5001 ms is over 100 %.
    EXPECT_EQ(Pass(history, {Times(10, 400, 900, 7), Times(11, 5051, 0, 8)}, 6000, 4), (Percents{25, 100}));
    // A tick that did not move gives 0 but still records the times: the next figure runs from them.
    EXPECT_EQ(Pass(history, {Times(10, 600, 900, 7)}, 6000, 4), (Percents{0}));
    EXPECT_EQ(Pass(history, {Times(10, 850, 900, 7)}, 7000, 1), (Percents{25}));
    // Times that went backwards wrap to a huge busy figure: still 100 at most, never negative.
    EXPECT_EQ(Pass(history, {Times(10, 1, 0, 7)}, 8000, 1), (Percents{100}));
}

TEST(CpuUsage, ReusedIdentifierStartsAfreshVanishedOnesAreForgottenUnmeasuredKept) {
    CpuHistory history;
    Pass(history, {Times(10, 100, 0, 7), Times(20, 100, 0, 9), Times(30, 100, 0, 5)}, 1000, 1);

    // 10 now has another creation time; 20 was not measured (zero times) but still runs; 30 ended.
    EXPECT_EQ(Pass(history, {Times(10, 900, 0, 8), Times(20, 0, 0, 0)}, 2000, 1), (Percents{0, 0}));
    EXPECT_EQ(history[10].CreationTime, 8u);
    EXPECT_EQ(history.count(30), 0u);

    // Measured again, 20's figure runs over the whole gap since its kept entry; 10's from its new one.
    EXPECT_EQ(Pass(history, {Times(20, 400, 0, 9), Times(10, 1200, 0, 8)}, 4000, 1), (Percents{10, 15}));
}
