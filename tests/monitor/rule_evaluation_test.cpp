#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/rule_evaluation.h"
#include "monitor/sample_selection.h"
#include "support/trace_capture.h"

namespace {

uint64_t fakeTick = 0;

const MonitorClock kFakeClock{
    []() { return fakeTick; },
    []() { return AlertTime{2024, 5, 3, 17, 13, 4, 5, 678}; },
};

class RecordingSink : public IAlertSink {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        records.push_back(record);
        return 1;
    }
    std::vector<AlertRecord> records;
};

ProcessSample Sample(uint32_t pid, const wchar_t* name) {
    ProcessSample sample;
    sample.ProcessId = pid;
    sample.ExeName = name;
    return sample;
}

ThresholdRule Rule(uint32_t id, const wchar_t* pattern, uint32_t cooldownSec) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.ProcessPattern = pattern;
    rule.CooldownSec = cooldownSec;
    return rule;
}

std::wstring Violation(const ProcessSample& sample, const ThresholdRule& rule) {
    std::wstring text;
    BuildViolationText(sample, rule, text);
    return text;
}

class RuleEvaluation : public ::testing::Test {
protected:
    void SetUp() override { fakeTick = 1000000; }

    void Evaluate(const std::vector<ProcessSample>& samples, const RuleList& rules) {
        EvaluateRules(samples, rules, cooldowns, kFakeClock, &sink);
    }

    AlertCooldowns cooldowns;
    RecordingSink sink;
};

}  // namespace

TEST(ViolationText, AllSevenFragmentsInFixedOrderWithStrictComparisons) {
    ProcessSample sample = Sample(1, L"x.exe");
    sample.HandleCount = 11;
    sample.WorkingSetBytes = 300 * kBytesPerMB + 5;
    sample.PrivateBytes = 2 * kBytesPerMB;
    sample.CpuPercent = 42.26;
    sample.ThreadCount = 41;
    sample.GdiObjects = 9;
    sample.UserObjects = 8;
    ThresholdRule rule = Rule(1, L"*", 0);
    rule.MaxUSER = 7;
    rule.MaxGDI = 8;
    rule.MaxThreads = 40;
    rule.MaxCPU = 12.5;
    rule.MaxPrivateBytes = kBytesPerMB;
    rule.MaxWorkingSetBytes = 100 * kBytesPerMB;
    rule.MaxHandles = 10;
    EXPECT_EQ(Violation(sample, rule),
              L"Handles: 11 > 10; Working Set: 300 MB > 100 MB; Private Bytes: 2 MB > 1 MB; CPU: 42.3% > 12.5%; "
              L"Threads: 41 > 40; GDI Objects: 9 > 8; USER Objects: 8 > 7");

    // Values equal to the limits raise nothing; limits of 0 (and CPU at or below 0) are no limits.
    ProcessSample equal = sample;
    equal.HandleCount = 10;
    equal.WorkingSetBytes = 100 * kBytesPerMB;
    equal.PrivateBytes = kBytesPerMB;
    equal.CpuPercent = 12.5;
    equal.ThreadCount = 40;
    equal.GdiObjects = 8;
    equal.UserObjects = 7;
    EXPECT_EQ(Violation(equal, rule), L"");
    ThresholdRule unlimited = Rule(2, L"*", 0);
    unlimited.MaxCPU = -5.0;
    EXPECT_EQ(Violation(sample, unlimited), L"");

    // Memory is compared on exact bytes and printed as whole megabytes rounded down.
    equal.WorkingSetBytes = 100 * kBytesPerMB + 1;
    EXPECT_EQ(Violation(equal, rule), L"Working Set: 100 MB > 100 MB");
    ProcessSample busy = equal;
    busy.WorkingSetBytes = 0;
    busy.CpuPercent = 12.5000001;
    EXPECT_EQ(Violation(busy, rule), L"CPU: 12.5% > 12.5%");
}

TEST_F(RuleEvaluation, WorkedExampleIsTracedAndHandedToTheSink) {
    ProcessSample sample = Sample(1234, L"chrome.exe");
    sample.HandleCount = 6000;
    sample.WorkingSetBytes = 5368709120;
    sample.CpuPercent = 12.5;
    ThresholdRule rule = Rule(7, L"CHROME.EXE", 60);
    rule.MaxHandles = 5000;
    rule.MaxWorkingSetBytes = 4294967296;
    rule.MaxCPU = 50.0;
    ThresholdRule disabled = rule;
    disabled.Enabled = false;
    ThresholdRule otherProcess = rule;
    otherProcess.ProcessPattern = L"firefox.exe";

    TraceCapture trace;
    Evaluate({sample}, {disabled, rule, otherProcess});
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{
                                 L"ALERT: PID 1234 (chrome.exe) Rule 7: Handles: 6000 > 5000; Working Set: 5120 MB > 4096 MB"});
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0], (AlertRecord{AlertTime{2024, 5, 3, 17, 13, 4, 5, 678}, 1234, L"chrome.exe", 7,
                                            L"Handles: 6000 > 5000; Working Set: 5120 MB > 4096 MB"}));
}

TEST_F(RuleEvaluation, CooldownRunsFromTheLastAlertAndZeroAlertsEveryPass) {
    ProcessSample sample = Sample(50, L"app.exe");
    sample.ThreadCount = 9;
    ThresholdRule everyPass = Rule(1, L"app.exe", 0);
    everyPass.MaxThreads = 8;
    ThresholdRule minute = Rule(2, L"app.exe", 60);
    minute.MaxThreads = 8;
    const RuleList rules{everyPass, minute};

    Evaluate({sample}, rules);
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[0].RuleId, 1u);
    EXPECT_EQ(sink.records[1].RuleId, 2u);

    // The violation clears and comes back inside the minute: only the rule without cooldown fires.
    fakeTick += 30000;
    ProcessSample calm = sample;
    calm.ThreadCount = 8;
    Evaluate({calm}, rules);
    EXPECT_EQ(sink.records.size(), 2u);
    fakeTick += 29999;
    Evaluate({sample}, rules);
    ASSERT_EQ(sink.records.size(), 3u);
    EXPECT_EQ(sink.records[2].RuleId, 1u);
    EXPECT_EQ(cooldowns.at({50, 2}).LastAlertTick, 1000000u);

    fakeTick += 1;
    Evaluate({sample}, rules);
    ASSERT_EQ(sink.records.size(), 5u);
    EXPECT_EQ(sink.records[4].RuleId, 2u);
    EXPECT_EQ(cooldowns.at({50, 2}).LastAlertTick, 1060000u);
}

TEST_F(RuleEvaluation, RulesSharingAnIdShareOneCooldownPerProcess) {
    ProcessSample sample = Sample(50, L"app.exe");
    sample.ThreadCount = 9;
    sample.GdiObjects = 100;
    ThresholdRule threads = Rule(3, L"app.exe", 60);
    threads.MaxThreads = 8;
    ThresholdRule gdi = Rule(3, L"*", 10);
    gdi.MaxGDI = 50;

    Evaluate({sample}, {threads, gdi});
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0].Violation, L"Threads: 9 > 8");

    // Eleven seconds on, the second rule's own 10 s cooldown has run out; the first's has not.
    fakeTick += 11000;
    Evaluate({sample}, {threads, gdi});
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[1].Violation, L"GDI Objects: 100 > 50");
    EXPECT_EQ(cooldowns.size(), 1u);
}

TEST_F(RuleEvaluation, ExcludedProcessRaisesNoAlertEvenForItsSnapshotThreadCount) {
    ProcessSample excluded = Sample(60, L"noisy.exe");
    excluded.ThreadCount = 500;
    ThresholdRule rule = Rule(1, L"*", 0);
    rule.MaxThreads = 10;
    ASSERT_EQ(DecideMeasurement(excluded, {rule}, {L"quiet.exe", L"NOISY*"}), MeasureDecision::Excluded);
    excluded.Excluded = true;
    ProcessSample system = Sample(4, L"System");
    system.ThreadCount = 200;
    ASSERT_EQ(DecideMeasurement(system, {rule}, {}), MeasureDecision::PseudoProcess);

    Evaluate({excluded, system}, {rule});
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0].PID, 4u);
    EXPECT_EQ(sink.records[0].Violation, L"Threads: 200 > 10");
}

TEST(SampleSelection, OnlyEnabledMatchingRulesLeadToAnOpen) {
    ThresholdRule disabled = Rule(1, L"*", 0);
    disabled.Enabled = false;
    const ProcessSample app = Sample(77, L"App.exe");
    EXPECT_EQ(DecideMeasurement(app, {disabled}, {}), MeasureDecision::NoEnabledRule);
    EXPECT_EQ(DecideMeasurement(app, {disabled, Rule(2, L"other.exe", 0)}, {}), MeasureDecision::NoEnabledRule);
    EXPECT_EQ(DecideMeasurement(app, {disabled, Rule(2, L"app.*", 0)}, {}), MeasureDecision::Measure);
    EXPECT_EQ(DecideMeasurement(Sample(0, L"[System Process]"), {Rule(2, L"*", 0)}, {}),
              MeasureDecision::PseudoProcess);
}

TEST_F(RuleEvaluation, NoSinkStillTracesAndKeepsTheCooldown) {
    ProcessSample sample = Sample(5, L"a.exe");
    sample.HandleCount = 3;
    ThresholdRule rule = Rule(9, L"a.exe", 60);
    rule.MaxHandles = 2;
    TraceCapture trace;
    EvaluateRules({sample}, {rule}, cooldowns, kFakeClock, nullptr);
    EvaluateRules({sample}, {rule}, cooldowns, kFakeClock, nullptr);
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"ALERT: PID 5 (a.exe) Rule 9: Handles: 3 > 2"});
    EXPECT_EQ(cooldowns.size(), 1u);
}

TEST_F(RuleEvaluation, CooldownsOfEndedOrReplacedProcessesArePruned) {
    ProcessSample old = Sample(70, L"a.exe");
    old.ThreadCount = 9;
    old.CreationTime = 111;
    ProcessSample unopened = Sample(80, L"b.exe");
    unopened.ThreadCount = 9;
    ProcessSample gone = Sample(90, L"c.exe");
    gone.ThreadCount = 9;
    ThresholdRule rule = Rule(1, L"*", 600);
    rule.MaxThreads = 8;
    Evaluate({old, unopened, gone}, {rule});
    ASSERT_EQ(cooldowns.size(), 3u);

    // 70 now belongs to a new process and alerts at once; 90 has ended; 80 could not be opened
    // then but can be now, so its creation time was unknown and its cooldown holds.
    ProcessSample reused = old;
    reused.CreationTime = 222;
    ProcessSample nowOpened = unopened;
    nowOpened.CreationTime = 333;
    fakeTick += 1000;
    const std::vector<ProcessSample> next{reused, nowOpened};
    Evaluate(next, {rule});
    ASSERT_EQ(sink.records.size(), 4u);
    EXPECT_EQ(sink.records[3].PID, 70u);
    PruneCooldowns(cooldowns, next);
    ASSERT_EQ(cooldowns.size(), 2u);
    EXPECT_EQ(cooldowns.at({70, 1}).CreationTime, 222u);
    EXPECT_EQ(cooldowns.count({90, 1}), 0u);

    // Replaced between passes without alerting since: the stale entry goes at the end of the pass.
    ProcessSample third = reused;
    third.CreationTime = 444;
    third.ThreadCount = 1;
    PruneCooldowns(cooldowns, {third, nowOpened});
    EXPECT_EQ(cooldowns.count({70, 1}), 0u);
    EXPECT_EQ(cooldowns.count({80, 1}), 1u);
}
