#include <gtest/gtest.h>

#include "monitor/cpu_usage.h"
#include "monitor/rule_evaluation.h"
#include "monitor/sample_selection.h"
#include "support/test_support.h"

namespace {

uint64_t fakeTick = 0;
constexpr AlertTime kFakeNow{2024, 5, 3, 17, 13, 4, 5, 678};
const MonitorClock kFakeClock{[] { return fakeTick; }, [] { return kFakeNow; }};

std::wstring Violation(const ProcessSample& sample, const ThresholdRule& rule) {
    std::wstring text;
    BuildViolationText(sample, rule, text);
    return text;
}

ProcessSample Process(uint32_t pid, uint32_t threads, uint64_t created = 0, uint32_t gdi = 0) {
    return {
        .ProcessId = pid, .ExeName = L"app.exe", .ThreadCount = threads, .GdiObjects = gdi, .CreationTime = created};
}
ThresholdRule Rule(uint32_t id, uint32_t cooldownSec, uint32_t maxThreads = 8, uint32_t maxGdi = 0) {
    return {id, L"app.exe", true, 0, 0, 0, 0, maxThreads, maxGdi, 0, kDefaultAlertActions, cooldownSec};
}

// Process times in 100 ns units from milliseconds.
ProcessSample Times(uint32_t pid, uint64_t kernelMs, uint64_t userMs, uint64_t creation) {
    return {pid, L"app.exe", 0, 0, 0, 0, 0, 0, 0, kernelMs * 10000, userMs * 10000, creation};
}

using Percents = std::vector<double>;
Percents CpuPass(CpuHistory& history, std::vector<ProcessSample> samples, uint64_t now, uint32_t processors) {
    UpdateCpuUsage(samples, history, now, processors);
    Percents percents;
    for (const ProcessSample& sample : samples) {
        percents.push_back(sample.CpuPercent);
    }
    return percents;
}

class RuleEvaluation : public ::testing::Test {
protected:
    void SetUp() override { fakeTick = 1000000; }
    // One pass as the engine runs it: evaluation, then pruning against the same snapshot.
    void Pass(const std::vector<ProcessSample>& samples, const RuleList& rules) {
        EvaluateRules(samples, rules, cooldowns, episodes, kFakeClock, &sink);
        PruneCooldowns(cooldowns, samples);
    }
    void Passes(const std::vector<std::vector<ProcessSample>>& passes, const RuleList& rules) {
        for (size_t i = 0; i < passes.size(); ++i, fakeTick += 5000) {
            Pass(passes[i], rules);
        }
    }
    std::vector<uint32_t> Alerted() const {
        std::vector<uint32_t> ids;
        for (const AlertRecord& record : sink.Lines()) {
            ids.push_back(record.PID * 100 + record.RuleId);
        }
        return ids;
    }
    AlertCooldowns cooldowns;
    AlertEpisodes episodes;
    RecordingSink sink;
};

}  // namespace

// Fields in the order ProcessId, ExeName, CpuPercent, WorkingSetBytes, PrivateBytes, HandleCount,
// ThreadCount, GdiObjects, UserObjects; the rule's limits in the same order.
TEST(ViolationText, AllSevenFragmentsInFixedOrderStrictlyAboveTheirLimits) {
    const ThresholdRule rule{0, L"*", true, 10, 100 * kBytesPerMB, kBytesPerMB, 12.5, 40, 8, 7};
    const ProcessSample over{0, L"x.exe", 42.26, 300 * kBytesPerMB + 5, 2 * kBytesPerMB, 11, 41, 9, 8};
    EXPECT_EQ(Violation(over, rule),
              L"Handles: 11 > 10; Working Set: 300 MB > 100 MB; Private Bytes: 2 MB > 1 MB; CPU: 42.3% > 12.5%; "
              L"Threads: 41 > 40; GDI Objects: 9 > 8; USER Objects: 8 > 7");
    // Values equal to the limits raise nothing; limits of 0 (and CPU at or below 0) are no limits.
    EXPECT_EQ(Violation({0, L"x.exe", 12.5, 100 * kBytesPerMB, kBytesPerMB, 10, 40, 8, 7}, rule), L"");
    EXPECT_EQ(Violation(over, ThresholdRule{.ProcessPattern = L"*", .MaxCPU = -5.0}), L"");
    // Memory is compared on exact bytes and printed as whole megabytes rounded down.
    EXPECT_EQ(Violation({0, L"x.exe", 12.5000001, 100 * kBytesPerMB + 1, kBytesPerMB + 1, 10, 40, 8, 7}, rule),
              L"Working Set: 100 MB > 100 MB; Private Bytes: 1 MB > 1 MB; CPU: 12.5% > 12.5%");
}

// Disabled rules and rules of other processes stay silent; without a sink the trace is still written
// and the cooldown kept; a pseudo-process (PID 4) is judged on what the snapshot gives.
TEST_F(RuleEvaluation, WorkedExampleIsTracedAndHandedToTheSink) {
    const ProcessSample sample{1234, L"chrome.exe", 12.5, 5368709120, 0, 6000};
    const ThresholdRule rule{7, L"CHROME.EXE", true, 5000, 4294967296, 0, 50.0};
    const ThresholdRule disabled{.RuleId = 8, .ProcessPattern = L"*", .Enabled = false, .MaxHandles = 1};
    const ThresholdRule otherProcess{.RuleId = 9, .ProcessPattern = L"firefox.exe", .MaxHandles = 1};
    TraceCapture trace;
    Pass({sample}, {disabled, rule, otherProcess});
    const std::wstring text = L"Handles: 6000 > 5000; Working Set: 5120 MB > 4096 MB";
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"ALERT: PID 1234 (chrome.exe) Rule 7: " + text});
    EXPECT_EQ(sink.Lines(), (std::vector<AlertRecord>{{kFakeNow, 1234, L"chrome.exe", 7, text}}));
    trace.Clear();
    const ProcessSample other{4, L"a.exe", 0, 0, 0, 3};
    const RuleList rules{ThresholdRule{.RuleId = 9, .ProcessPattern = L"a.exe", .MaxHandles = 2}};
    EvaluateRules({other}, rules, cooldowns, episodes, kFakeClock, nullptr);
    EvaluateRules({other}, rules, cooldowns, episodes, kFakeClock, nullptr);
    EXPECT_EQ(trace.Lines(), (std::vector<std::wstring>{L"ALERT: PID 4 (a.exe) Rule 9: Handles: 3 > 2",
                                                        L"EvaluateRules - Episode of PID 1234 rule 7 ended"}));
}

// Each rule counts its cooldown from its own last alert; rules sharing an id share one cooldown per
// process, each with its own length; a cooldown of 0 alerts every pass.
TEST_F(RuleEvaluation, CooldownRunsFromTheLastAlertPerProcessAndRuleId) {
    const RuleList rules{Rule(1, 0), Rule(2, 60), Rule(3, 60), Rule(3, 10, 0, 50)};
    Pass({Process(50, 9, 0, 100)}, rules);
    EXPECT_EQ(Alerted(), (std::vector<uint32_t>{5001, 5002, 5003}));
    // The violation clears and comes back inside the minute: only the rule without cooldown fires;
    // eleven seconds on, the second rule with id 3 has run out its own 10 s.
    fakeTick += 11000;
    Pass({Process(50, 8)}, rules);
    fakeTick += 48999;
    Pass({Process(50, 9, 0, 100)}, rules);
    EXPECT_EQ(Alerted(), (std::vector<uint32_t>{5001, 5002, 5003, 5001, 5003}));
    EXPECT_EQ(sink.Lines().back().Violation, L"GDI Objects: 100 > 50");
    fakeTick += 1;
    Pass({Process(50, 9)}, rules);
    EXPECT_EQ(Alerted(), (std::vector<uint32_t>{5001, 5002, 5003, 5001, 5003, 5001, 5002}));
    EXPECT_EQ(cooldowns.size(), 3u);
}

// Passes 5 s apart, SustainSec 10: 10 is over for two passes and ends; 20 alerts from its third; a quiet
// pass restarts 30's episode; 40 is taken over by a new process. Cooldown 30, sustain 5, notices: a
// suppressed episode has no recovery, and an unmeasured pass is no sign of one.
TEST_F(RuleEvaluation, SustainedViolationsAlertOnceTheyHeldAndEachAlertedEpisodeEndsWithOneSilentRecovery) {
    const auto over = [](uint32_t pid, uint64_t created = 1) { return Process(pid, 9, created); };
    Passes({{over(10), over(20), over(30), over(40)},
            {over(10), over(20), over(30), over(40)},
            {over(20), Process(30, 8, 1), over(40, 2)},
            {over(20), over(30), over(40, 2)},
            {Process(20, 8, 1), over(30), over(40, 2)},
            {over(30)}},
           {{1, L"app.exe", true, 0, 0, 0, 0, 8, 0, 0, 3, 0, 10}});
    EXPECT_EQ(Alerted(), (std::vector<uint32_t>{2001, 2001, 4001, 3001}));
    const ProcessSample up = Process(50, 9, 7), under = Process(50, 8, 7), gdi = Process(50, 8, 7, 100);
    Passes({{up}, {up}, {under}, {up}, {up}, {under}, {gdi}, {gdi}, {Process(50, 8)}, {Process(50, 8, 7, 20)}},
           {{2, L"app.exe", true, 0, 0, 0, 0, 8, 50, 0, 3 | 8, 30, 5}});
    const auto rec = [](std::wstring v, bool back) { return AlertRecord{kFakeNow, 50, L"app.exe", 2, v, back}; };
    EXPECT_EQ(sink.For(50),
              (std::vector<AlertRecord>{rec(L"Threads: 9 > 8", false), rec(L"Back under: Threads: 8 <= 8", true),
                                        rec(L"GDI Objects: 100 > 50", false),
                                        rec(L"Back under: GDI Objects: 20 <= 50", true)}));
    EXPECT_TRUE(episodes.empty());
}

// Exclusions and disabled rules are checked on real processes under Wine, which has no PID 4.
TEST(SampleSelection, PseudoProcessesAreNeverOpenedAndOnlyGuiLimitsAskForAnOpen) {
    for (const uint32_t pid : {0u, 4u, 8u}) {
        EXPECT_EQ(DecideMeasurement({.ProcessId = pid, .ExeName = L"app.exe"}, {{.ProcessPattern = L"app.*"}}, {}),
                  pid == 8 ? MeasureDecision::Measure : MeasureDecision::PseudoProcess);
    }
    RuleList rules{{.ProcessPattern = L"app.*"},
                   {.ProcessPattern = L"b.exe", .MaxGDI = 5},
                   {.ProcessPattern = L"app.exe", .Enabled = false, .MaxUSER = 5}};
    bool wanted[2] = {true, false};
    for (bool& want : wanted) {
        DecideMeasurement({8, L"app.exe"}, rules, {}, &want);
        rules.push_back({.ProcessPattern = L"*", .MaxUSER = 5});
    }
    EXPECT_TRUE(!wanted[0] && wanted[1]);
}

// 70 is reused by a new process and alerts at once; 75 has ended; 80 could not be opened at first
// (creation time unknown) but can be now, so its cooldown holds.
TEST_F(RuleEvaluation, CooldownsOfEndedOrReplacedProcessesAreDropped) {
    const RuleList rules{Rule(1, 600)};
    Pass({Process(70, 9, 111), Process(80, 9), Process(75, 9)}, rules);
    ASSERT_EQ(cooldowns.size(), 3u);
    fakeTick += 1000;
    Pass({Process(70, 9, 222), Process(80, 9, 333)}, rules);
    EXPECT_EQ(Alerted(), (std::vector<uint32_t>{7001, 8001, 7501, 7001}));
    EXPECT_EQ(cooldowns.size(), 2u);
    EXPECT_EQ(cooldowns.at({70, 1}).CreationTime, 222u);
    // Replaced again without alerting since: the stale entry goes at the end of the pass.
    Pass({Process(70, 1, 444), Process(80, 9, 333)}, rules);
    EXPECT_EQ(cooldowns.count({70, 1}), 0u);
    EXPECT_EQ(cooldowns.count({80, 1}), 1u);
}

TEST(CpuUsage, ShareOfAllProcessorsClampedPerProcessInstance) {
    CpuHistory history;
    EXPECT_EQ(CpuPass(history, {Times(10, 100, 200, 7), Times(11, 50, 0, 8)}, 5000, 4), (Percents{0, 0}));
    // 1000 ms of kernel plus user time over 1000 ms on four processors is a quarter; 5001 ms is over 100 %.
    EXPECT_EQ(CpuPass(history, {Times(10, 400, 900, 7), Times(11, 5051, 0, 8)}, 6000, 4), (Percents{25, 100}));
    // A tick that did not move gives 0 but still records the times: the next figure runs from them.
    EXPECT_EQ(CpuPass(history, {Times(10, 600, 900, 7)}, 6000, 4), (Percents{0}));
    EXPECT_EQ(CpuPass(history, {Times(10, 850, 900, 7)}, 7000, 1), (Percents{25}));
    // Times that went backwards wrap to a huge busy figure: still 100 at most, never negative.
    EXPECT_EQ(CpuPass(history, {Times(10, 1, 0, 7)}, 8000, 1), (Percents{100}));
    history.clear();
    CpuPass(history, {Times(10, 100, 0, 7), Times(20, 100, 0, 9), Times(30, 100, 0, 5)}, 1000, 1);
    // 10 now has another creation time; 20 was not measured (zero times) but still runs; 30 ended.
    EXPECT_EQ(CpuPass(history, {Times(10, 900, 0, 8), Times(20, 0, 0, 0)}, 2000, 1), (Percents{0, 0}));
    EXPECT_EQ(history.count(30), 0u);
    // Measured again, 20's figure runs over the whole gap since its kept entry; 10's from its new one.
    EXPECT_EQ(CpuPass(history, {Times(20, 400, 0, 9), Times(10, 1200, 0, 8)}, 4000, 1), (Percents{10, 15}));
}
