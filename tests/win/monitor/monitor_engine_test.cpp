#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/monitor_engine_win.h"
#include "support/test_support.h"
#include "win/support/load_generator.h"
#include "win/support/watchkeep_process.h"

struct MonitorEngineProbe {
    static void PollOnce(MonitorEngine& engine) { engine.PollOnce(); }
    // The first two steps of a pass, to see what was opened and measured of one process.
    static ProcessSample Measure(MonitorEngine& engine, DWORD pid) {
        std::vector<ProcessSample> samples;
        engine.SampleProcesses(samples, *engine.rules_->Snapshot(), *engine.settings_->Exclusions.Snapshot());
        const auto found = std::ranges::find(samples, static_cast<uint32_t>(pid), &ProcessSample::ProcessId);
        return found == samples.end() ? ProcessSample{} : *found;
    }
    static void SetQuery(MonitorEngine& engine, ProcessListQuery query) { engine.processListQuery_ = std::move(query); }
    static size_t Kept(const MonitorEngine& engine) {
        return engine.alertCooldowns_.size() + engine.cpuHistory_.size();
    }
};

namespace {

// Records alerts; while `open` is reset, the monitor thread also waits inside its pass.
class HoldingSink : public RecordingSink {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        SetEvent(entered.get());
        WaitForSingleObject(open.get(), INFINITE);
        return RecordingSink::OnAlert(record);
    }
    UniqueHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle open{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
};

class MonitorEngineWin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(load.Ready());
        engine.Attach(&store, &sink, &settings);
    }
    // A failed test must not leave the monitor thread held, or the engine's destructor waits forever.
    void TearDown() override { SetEvent(sink.open.get()); }
    ProcessSample MeasureLoad() { return MonitorEngineProbe::Measure(engine, load.ProcessId()); }
    LoadGenerator load{L"threads 40"};
    AppSettings settings;
    RuleStore store;
    HoldingSink sink;
    MonitorEngine engine;
};

}  // namespace

TEST_F(MonitorEngineWin, OnlyAnEnabledRuleWithoutAnExclusionAlertsOthersGoToHistoryAndStopKeepsAHeldPass) {
    ThresholdRule rule{
        .RuleId = 1, .ProcessPattern = L"loadgen*", .Enabled = false, .MaxThreads = 20, .CooldownSec = 0};
    store.AddNewRules({rule});
    // With no enabled rule for it, the list's counters still reach the history, and no alert.
    MonitorEngineProbe::PollOnce(engine);
    ProcessKey key;
    ProcessTrack track;
    ASSERT_TRUE(engine.History().LatestWithId(load.ProcessId(), key) && engine.History().Track(key, track));
    EXPECT_TRUE(key.CreationTime != 0 && track.Points.back().WorkingSetBytes > 0 && track.Points.back().ThreadCount == 41);
    EXPECT_TRUE(sink.Lines().empty());
    rule.Enabled = true;
    store.Update(rule);
    EXPECT_NE(MeasureLoad().CreationTime, 0u);
    // An exclusion leaves it unmeasured, and not even the snapshot's thread count alerts.
    settings.Exclusions.Set({L"notepad.exe", L"LoadGen_*"});
    const ProcessSample excluded = MeasureLoad();
    EXPECT_TRUE(excluded.Excluded && excluded.WorkingSetBytes == 0);
    MonitorEngineProbe::PollOnce(engine);
    EXPECT_TRUE(sink.Lines().empty());
    // Running, a pass alerts and the sink holds it there past Stop's 10 s limit.
    settings.Exclusions.Set({});
    settings.PollIntervalMs = 500;
    ResetEvent(sink.open.get());
    ResetEvent(sink.entered.get());  // entered by the passes above
    engine.Start();
    ASSERT_EQ(WaitForSingleObject(sink.entered.get(), 10000), WAIT_OBJECT_0);
    TraceCapture trace;
    engine.Stop();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Stop - Monitor thread still running after 10000 ms; state kept"));
    EXPECT_GE(MonitorEngineProbe::Kept(engine), 2u);
    engine.Start();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Start - Already running"));
    SetEvent(sink.open.get());
    engine.Stop();
    EXPECT_EQ(MonitorEngineProbe::Kept(engine), 0u);
    // A stop during a 30-second wait ends the loop through the event, within Stop's limit.
    trace.Clear();
    settings.PollIntervalMs = 30000;
    engine.Start();
    engine.Stop();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::MonitorLoop - Exiting loop"));
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Stop - Stopped"));
}

// The system's list reads what the per-process calls read where Wine reports both (Wine's
// PrivateUsage and handle count are 0); without the list, missing or failing, a pass makes those
// calls again, traced once.
TEST_F(MonitorEngineWin, TheProcessListReadsWhatPerProcessCallsReadAndItsLossFallsBackToThem) {
    store.AddNewRules({{.RuleId = 1, .ProcessPattern = L"loadgen*", .MaxThreads = 500}});
    const ProcessSample listed = MeasureLoad();
    PROCESS_MEMORY_COUNTERS memory{};
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, load.ProcessId()));
    ASSERT_TRUE(K32GetProcessMemoryInfo(process.get(), &memory, sizeof(memory)));
    EXPECT_TRUE(listed.ExeName == L"loadgen_win.exe" && listed.ThreadCount == 41 && listed.HandleCount > 0);
    EXPECT_NEAR(static_cast<double>(listed.WorkingSetBytes), static_cast<double>(memory.WorkingSetSize), 4096.0);
    EXPECT_NEAR(static_cast<double>(listed.PrivateBytes), static_cast<double>(memory.PagefileUsage), 4096.0);
    TraceCapture trace;
    for (const ProcessListQuery& query :
         {ProcessListQuery{}, ProcessListQuery([](void*, uint32_t, uint32_t*) { return int32_t{-1}; })}) {
        MonitorEngineProbe::SetQuery(engine, query);
        const ProcessSample called = MeasureLoad();
        EXPECT_TRUE(called.WorkingSetBytes > 0 && called.PrivateBytes + called.HandleCount == 0);
        EXPECT_EQ(called.CreationTime, listed.CreationTime);
    }
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"MonitorEngine::SampleProcesses - Process list query missing "
                                                       L"(0xC0000139); using the toolhelp snapshot"});
}
