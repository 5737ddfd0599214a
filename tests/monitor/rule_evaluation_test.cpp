#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/rule_evaluation.h"
#include "monitor/sample_selection.h"
#include "support/recording_sink.h"
#include "support/trace_capture.h"

namespace {

uint64_t fakeTick = 0;
constexpr AlertTime kFakeNow{2024, 5, 3, 17, 13, 4, 5, 678};
const MonitorClock kFakeClock{[] { return fakeTick; }, [] { return kFakeNow; }};

std::wstring Violation(const ProcessSample& sample, const ThresholdRule& rule) {
    std::wstring text;
    BuildViolationText(sample, rule, text);
    return text;
}

class RuleEvaluation : public ::testing::Test {
protected:
    void SetUp() override { fakeTick = 1000000; }

    // One pass as the engine runs it: evaluation, then pruning against the same snapshot.
    void Pass(const std::vector<ProcessSample>& samples, const RuleList& rules) {
        EvaluateRules(samples, rules, cooldowns, kFakeClock, &sink);
        PruneCooldowns(cooldowns, samples);
    }

    std::vector<uint32_t> AlertedRuleIds() const {
        std::vector<uint32_t> ids;
        for (const AlertRecord& record : sink.Records()) {
            ids.push_back(record.RuleId);
        }
        return ids;
    }

    AlertCooldowns cooldowns;
    RecordingSink sink;
};

}  // namespace

TEST(ViolationText, AllSevenFragmentsInFixedOrderStrictlyAboveTheirLimits) {
    const ThresholdRule rule{.ProcessPattern = L"*",
                             .MaxHandles = 10,
                             .MaxWorkingSetBytes = 100 * kBytesPerMB,
                             .MaxPrivateBytes = kBytesPerMB,
                             .MaxCPU = 12.5,
                             .MaxThreads = 40,
                             .MaxGDI = 8,
                             .MaxUSER = 7};
    const ProcessSample over{.ExeName = L"x.exe",
                             .CpuPercent = 42.26,
                             .WorkingSetBytes = 300 * kBytesPerMB + 5,
                             .PrivateBytes = 2 * kBytesPerMB,
                             .HandleCount = 11,
                             .ThreadCount = 41,
                             .GdiObjects = 9,
                             .UserObjects = 8};
    EXPECT_EQ(Violation(over, rule),
              L"Handles: 11 > 10; Working Set: 300 MB > 100 MB; Private Bytes: 2 MB > 1 MB; CPU: 42.3% > 12.5%; "
              L"Threads: 41 > 40; GDI Objects: 9 > 8; USER Objects: 8 > 7");

    // Values equal to the limits raise nothing; limits of 0 (and CPU at or below 0) are no limits.
    ProcessSample equal{.ExeName = L"x.exe",
                        .CpuPercent = 12.5,
                        .WorkingSetBytes = 100 * kBytesPerMB,
                        .PrivateBytes = kBytesPerMB,
                        .HandleCount = 10,
                        .ThreadCount = 40,
                        .GdiObjects = 8,
                        .UserObjects = 7};
    EXPECT_EQ(Violation(equal, rule), L"");
    EXPECT_EQ(Violation(over, ThresholdRule{.ProcessPattern = L"*", .MaxCPU = -5.0}), L"");

    // Memory is compared on exact bytes and printed as whole megabytes rounded down.
    equal.WorkingSetBytes += 1;
    equal.PrivateBytes += 1;
    equal.CpuPercent = 12.5000001;
    EXPECT_EQ(Violation(equal, rule), L"Working Set: 100 MB > 100 MB; Private Bytes: 1 MB > 1 MB; CPU: 12.5% > 12.5%");
}

TEST_F(RuleEvaluation, WorkedExampleIsTracedAndHandedToTheSink) {
    const ProcessSample sample{.ProcessId = 1234,
                               .ExeName = L"chrome.exe",
                               .CpuPercent = 12.5,
                               .WorkingSetBytes = 5368709120,
                               .HandleCount = 6000};
    const ThresholdRule rule{.RuleId = 7,
                             .ProcessPattern = L"CHROME.EXE",
                             .MaxHandles = 5000,
                             .MaxWorkingSetBytes = 4294967296,
                             .MaxCPU = 50.0};
    const ThresholdRule disabled{.RuleId = 8, .ProcessPattern = L"*", .Enabled = false, .MaxHandles = 1};
    const ThresholdRule otherProcess{.RuleId = 9, .ProcessPattern = L"firefox.exe", .MaxHandles = 1};

    TraceCapture trace;
    Pass({sample}, {disabled, rule, otherProcess});
    const std::wstring text = L"Handles: 6000 > 5000; Working Set: 5120 MB > 4096 MB";
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"ALERT: PID 1234 (chrome.exe) Rule 7: " + text});
    EXPECT_EQ(sink.Records(), (std::vector<AlertRecord>{{kFakeNow, 1234, L"chrome.exe", 7, text}}));
}

// Two rules on one process: each alerts, each with its own cooldown counted from its last alert.
TEST_F(RuleEvaluation, CooldownRunsFromTheLastAlertAndZeroAlertsEveryPass) {
    const ProcessSample sample{.ProcessId = 50, .ExeName = L"app.exe", .ThreadCount = 9};
    const RuleList rules{ThresholdRule{.RuleId = 1, .ProcessPattern = L"app.exe", .MaxThreads = 8, .CooldownSec = 0},
                         ThresholdRule{.RuleId = 2, .ProcessPattern = L"app.exe", .MaxThreads = 8, .CooldownSec = 60}};
    Pass({sample}, rules);
    EXPECT_EQ(AlertedRuleIds(), (std::vector<uint32_t>{1, 2}));

    // The violation clears and comes back inside the minute: only the rule without cooldown fires.
    fakeTick += 30000;
    ProcessSample calm = sample;
    calm.ThreadCount = 8;
    Pass({calm}, rules);
    fakeTick += 29999;
    Pass({sample}, rules);
    EXPECT_EQ(AlertedRuleIds(), (std::vector<uint32_t>{1, 2, 1}));

    fakeTick += 1;
    Pass({sample}, rules);
    EXPECT_EQ(AlertedRuleIds(), (std::vector<uint32_t>{1, 2, 1, 1, 2}));
    EXPECT_EQ(cooldowns.at({50, 2}).LastAlertTick, 1060000u);
}

TEST_F(RuleEvaluation, RulesSharingAnIdShareOneCooldownPerProcess) {
    const ProcessSample sample{.ProcessId = 50, .ExeName = L"app.exe", .ThreadCount = 9, .GdiObjects = 100};
    const RuleList rules{ThresholdRule{.RuleId = 3, .ProcessPattern = L"app.exe", .MaxThreads = 8, .CooldownSec = 60},
                         ThresholdRule{.RuleId = 3, .ProcessPattern = L"*", .MaxGDI = 50, .CooldownSec = 10}};
    Pass({sample}, rules);
    // Eleven seconds on, the second rule's own 10 s cooldown has run out; the first's has not.
    fakeTick += 11000;
    Pass({sample}, rules);
    const auto records = sink.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Violation, L"Threads: 9 > 8");
    EXPECT_EQ(records[1].Violation, L"GDI Objects: 100 > 50");
    EXPECT_EQ(cooldowns.size(), 1u);
}

TEST(SampleSelection, ExclusionsThenEnabledMatchingRulesThenPseudoProcesses) {
    const RuleList rules{ThresholdRule{.ProcessPattern = L"*", .Enabled = false},
                         ThresholdRule{.ProcessPattern = L"app.*"}};
    const auto decide = [&rules](uint32_t pid, const wchar_t* name) {
        return DecideMeasurement(ProcessSample{.ProcessId = pid, .ExeName = name}, rules, {L"quiet.exe", L"APP.COM"});
    };
    EXPECT_EQ(decide(77, L"App.exe"), MeasureDecision::Measure);
    EXPECT_EQ(decide(77, L"app.com"), MeasureDecision::Excluded);
    EXPECT_EQ(decide(77, L"other.exe"), MeasureDecision::NoEnabledRule);
    EXPECT_EQ(decide(4, L"app.exe"), MeasureDecision::PseudoProcess);
    EXPECT_EQ(decide(0, L"app.exe"), MeasureDecision::PseudoProcess);
}

TEST_F(RuleEvaluation, ExcludedProcessRaisesNoAlertEvenForItsSnapshotThreadCount) {
    const ProcessSample excluded{.ProcessId = 60, .ExeName = L"noisy.exe", .ThreadCount = 500, .Excluded = true};
    const ProcessSample system{.ProcessId = 4, .ExeName = L"System", .ThreadCount = 200};
    Pass({excluded, system}, {ThresholdRule{.ProcessPattern = L"*", .MaxThreads = 10, .CooldownSec = 0}});
    const auto records = sink.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].PID, 4u);
    EXPECT_EQ(records[0].Violation, L"Threads: 200 > 10");
}

TEST_F(RuleEvaluation, NoSinkStillTracesAndKeepsTheCooldown) {
    const ProcessSample sample{.ProcessId = 5, .ExeName = L"a.exe", .HandleCount = 3};
    const RuleList rules{ThresholdRule{.RuleId = 9, .ProcessPattern = L"a.exe", .MaxHandles = 2}};
    TraceCapture trace;
    EvaluateRules({sample}, rules, cooldowns, kFakeClock, nullptr);
    EvaluateRules({sample}, rules, cooldowns, kFakeClock, nullptr);
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"ALERT: PID 5 (a.exe) Rule 9: Handles: 3 > 2"});
}

TEST_F(RuleEvaluation, CooldownsOfEndedOrReplacedProcessesAreDropped) {
    const RuleList rules{ThresholdRule{.RuleId = 1, .ProcessPattern = L"*", .MaxThreads = 8, .CooldownSec = 600}};
    ProcessSample old{.ProcessId = 70, .ExeName = L"a.exe", .ThreadCount = 9, .CreationTime = 111};
    ProcessSample unopened{.ProcessId = 80, .ExeName = L"b.exe", .ThreadCount = 9};
    const ProcessSample gone{.ProcessId = 75, .ExeName = L"c.exe", .ThreadCount = 9};
    Pass({old, unopened, gone}, rules);
    ASSERT_EQ(cooldowns.size(), 3u);

    // 70 now belongs to a new process and alerts at once; 75 has ended; 80 could not be opened
    // then but can be now, so its creation time was unknown and its cooldown holds.
    old.CreationTime = 222;
    unopened.CreationTime = 333;
    fakeTick += 1000;
    Pass({old, unopened}, rules);
    ASSERT_EQ(sink.Records().size(), 4u);
    EXPECT_EQ(sink.Records()[3].PID, 70u);
    EXPECT_EQ(cooldowns.size(), 2u);
    EXPECT_EQ(cooldowns.at({70, 1}).CreationTime, 222u);

    // Replaced again without alerting since: the stale entry goes at the end of the pass.
    old.CreationTime = 444;
    old.ThreadCount = 1;
    Pass({old, unopened}, rules);
    EXPECT_EQ(cooldowns.count({70, 1}), 0u);
    EXPECT_EQ(cooldowns.count({80, 1}), 1u);
}
