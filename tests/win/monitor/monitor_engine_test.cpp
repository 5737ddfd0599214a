#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "alerts/alert_record.h"
#include "monitor/monitor_engine.h"
#include "support/trace_capture.h"
#include "win/support/load_generator.h"

struct MonitorEngineProbe {
    static void PollOnce(MonitorEngine& engine) { engine.PollOnce(); }
    // The first two steps of a pass, so a test can see what was opened and measured.
    static std::vector<ProcessSample> Measure(MonitorEngine& engine, const RuleList& rules,
                                              const ExclusionList& exclusions) {
        std::vector<ProcessSample> samples;
        if (engine.SnapshotProcesses(samples)) engine.CollectCounters(samples, rules, exclusions);
        return samples;
    }
    static size_t CooldownCount(const MonitorEngine& engine) { return engine.alertCooldowns.size(); }
    static size_t CpuHistoryCount(const MonitorEngine& engine) { return engine.cpuHistory.size(); }
};

namespace {

class RecordingSink : public IAlertSink {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(record);
        return 1;
    }
    std::vector<AlertRecord> For(DWORD pid) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<AlertRecord> matching;
        std::copy_if(records_.begin(), records_.end(), std::back_inserter(matching),
                     [pid](const AlertRecord& r) { return r.PID == pid; });
        return matching;
    }

private:
    mutable std::mutex mutex_;
    std::vector<AlertRecord> records_;
};

ThresholdRule Rule(uint32_t id, const wchar_t* pattern, uint32_t cooldownSec) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.ProcessPattern = pattern;
    rule.CooldownSec = cooldownSec;
    return rule;
}

const ProcessSample* Find(const std::vector<ProcessSample>& samples, DWORD pid) {
    const auto found = std::find_if(samples.begin(), samples.end(), [pid](const ProcessSample& s) { return s.ProcessId == pid; });
    return found == samples.end() ? nullptr : &*found;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > end) return false;
        Sleep(50);
    }
    return true;
}

std::wstring OwnExeName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path);
    return full.substr(full.find_last_of(L"\\/") + 1);
}

// 40 waiting threads plus the main one: the snapshot reports 41 (faithful under Wine).
constexpr wchar_t kLoad[] = L"alloc 64 threads 40";

}  // namespace

TEST(MonitorEngineWin, WorkingSetAndThreadRulesFireForTheLoadGeneratorWithinTheirCooldown) {
    LoadGenerator load(kLoad);
    ASSERT_TRUE(load.Ready());
    ThresholdRule workingSet = Rule(1, L"loadgen_win.exe", 600);
    workingSet.MaxWorkingSetBytes = 32 * kBytesPerMB;
    ThresholdRule threads = Rule(2, L"LOADGEN_WIN.EXE", 600);
    threads.MaxThreads = 20;
    RuleStore store;
    store.Add(workingSet);
    store.Add(threads);
    RecordingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);
    TraceCapture trace;

    MonitorEngineProbe::PollOnce(engine);
    auto alerts = sink.For(load.ProcessId());
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].RuleId, 1u);
    EXPECT_EQ(alerts[0].Process, L"loadgen_win.exe");
    // Wine reports the working set faithfully: 64 MB touched reads a little more.
    unsigned long long megabytes = 0;
    ASSERT_EQ(swscanf(alerts[0].Violation.c_str(), L"Working Set: %llu MB > 32 MB", &megabytes), 1)
        << alerts[0].Violation;
    EXPECT_GE(megabytes, 64u);
    EXPECT_EQ(alerts[1].RuleId, 2u);
    EXPECT_EQ(alerts[1].Violation, L"Threads: 41 > 20");
    EXPECT_GE(alerts[1].Time.Year, 2020);
    EXPECT_TRUE(trace.Contains(L"ALERT: PID " + std::to_wstring(load.ProcessId()) +
                               L" (loadgen_win.exe) Rule 2: Threads: 41 > 20"));

    // Within the cooldown nothing repeats; with the cooldown edited to 0 both fire at the next pass.
    MonitorEngineProbe::PollOnce(engine);
    EXPECT_EQ(sink.For(load.ProcessId()).size(), 2u);
    threads.CooldownSec = 0;
    workingSet.CooldownSec = 0;
    store.Update(threads);
    store.Update(workingSet);
    MonitorEngineProbe::PollOnce(engine);
    EXPECT_EQ(sink.For(load.ProcessId()).size(), 4u);
}

TEST(MonitorEngineWin, ExcludedProcessIsNeitherOpenedNorAlerted) {
    LoadGenerator load(kLoad);
    ASSERT_TRUE(load.Ready());
    ThresholdRule rule = Rule(1, L"loadgen*", 0);
    rule.MaxThreads = 20;
    rule.MaxWorkingSetBytes = 32 * kBytesPerMB;
    RuleStore store;
    store.Add(rule);
    RecordingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);
    engine.exclusions.Set({L"notepad.exe", L"LoadGen_*"});

    const auto samples = MonitorEngineProbe::Measure(engine, *store.Snapshot(), *engine.exclusions.Snapshot());
    const ProcessSample* sample = Find(samples, load.ProcessId());
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sample->Excluded);
    EXPECT_EQ(sample->ThreadCount, 41u);
    EXPECT_EQ(sample->WorkingSetBytes, 0u);

    MonitorEngineProbe::PollOnce(engine);
    EXPECT_TRUE(sink.For(load.ProcessId()).empty());
    EXPECT_EQ(MonitorEngineProbe::CooldownCount(engine), 0u);
}

TEST(MonitorEngineWin, DisabledRuleOpensNothingAndEnabledOneMeasures) {
    LoadGenerator load(kLoad);
    ASSERT_TRUE(load.Ready());
    ThresholdRule rule = Rule(1, L"*", 0);
    rule.MaxThreads = 1;
    rule.Enabled = false;
    RuleStore store;
    store.Add(rule);
    RecordingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);

    const auto unopened = MonitorEngineProbe::Measure(engine, *store.Snapshot(), {});
    ASSERT_NE(Find(unopened, load.ProcessId()), nullptr);
    EXPECT_TRUE(std::all_of(unopened.begin(), unopened.end(), [](const ProcessSample& s) {
        return s.WorkingSetBytes == 0 && s.CreationTime == 0 && s.KernelTime == 0 && s.UserTime == 0;
    }));
    MonitorEngineProbe::PollOnce(engine);
    EXPECT_TRUE(sink.For(load.ProcessId()).empty());

    rule.Enabled = true;
    const auto measured = MonitorEngineProbe::Measure(engine, {rule}, {});
    const ProcessSample* sample = Find(measured, load.ProcessId());
    ASSERT_NE(sample, nullptr);
    EXPECT_GT(sample->WorkingSetBytes, 64 * kBytesPerMB);
    EXPECT_NE(sample->CreationTime, 0u);
    // Pseudo-processes are never opened, whatever the rules say.
    const ProcessSample* idle = Find(measured, 0);
    if (idle != nullptr) {
        EXPECT_EQ(idle->WorkingSetBytes, 0u);
    }
}

// Wine freezes other processes' CPU times but reports this process's own, so the CPU path runs
// here over the test program itself.
TEST(MonitorEngineWin, OwnProcessCpuIsMeasuredAcrossTwoPasses) {
    ThresholdRule rule = Rule(1, OwnExeName().c_str(), 0);
    rule.MaxCPU = 1.0;
    RuleStore store;
    store.Add(rule);
    RecordingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);

    MonitorEngineProbe::PollOnce(engine);
    EXPECT_TRUE(sink.For(GetCurrentProcessId()).empty());
    EXPECT_EQ(MonitorEngineProbe::CpuHistoryCount(engine), 1u);
    // Spin until this process has used 300 ms of CPU, however busy the machine is, so the
    // figure stays well above the 1 % limit even when the test is starved of a core.
    const auto ownCpuMs = [] {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        const auto ticks = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
        return (ticks(kernel) + ticks(user)) / 10000;
    };
    const ULONGLONG spinUntil = ownCpuMs() + 300;
    volatile unsigned long long counter = 0;
    while (ownCpuMs() < spinUntil) counter = counter + 1;
    MonitorEngineProbe::PollOnce(engine);

    const auto alerts = sink.For(GetCurrentProcessId());
    ASSERT_EQ(alerts.size(), 1u);
    double percent = 0.0;
    ASSERT_EQ(swscanf(alerts[0].Violation.c_str(), L"CPU: %lf%% > 1.0%%", &percent), 1) << alerts[0].Violation;
    EXPECT_GT(percent, 1.0);
    EXPECT_LE(percent, 100.0);
}

TEST(MonitorEngineWin, PauseStopsPassesAndStopEndsALongWaitAtOnce) {
    LoadGenerator load(kLoad);
    ASSERT_TRUE(load.Ready());
    ThresholdRule rule = Rule(1, L"loadgen_win.exe", 0);
    rule.MaxThreads = 20;
    RuleStore store;
    store.Add(rule);
    RecordingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);
    TraceCapture trace;

    engine.paused = true;
    engine.pollIntervalMs = 500;
    engine.Start();
    Sleep(1600);
    EXPECT_TRUE(sink.For(load.ProcessId()).empty());
    engine.paused = false;
    EXPECT_TRUE(WaitFor([&] { return !sink.For(load.ProcessId()).empty(); }, 10000));
    engine.Stop();
    EXPECT_EQ(MonitorEngineProbe::CooldownCount(engine), 0u);
    EXPECT_EQ(MonitorEngineProbe::CpuHistoryCount(engine), 0u);

    // A stop during a 30-second wait ends the loop through the event, not by Stop's time limit.
    trace.Clear();
    engine.pollIntervalMs = 30000;
    engine.Start();
    engine.Start();
    engine.Stop();
    engine.Stop();
    const auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind(L"MonitorEngine::Start - Monitor thread started (TID ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(L", interval 30000 ms)"), std::wstring::npos) << lines[0];
    const std::vector<std::wstring> rest(lines.begin() + 1, lines.end());
    std::vector<std::wstring> expected{L"MonitorEngine::Start - Already running", L"MonitorEngine::MonitorLoop - Entering loop",
                                       L"MonitorEngine::MonitorLoop - Exiting loop", L"MonitorEngine::Stop - Stopped",
                                       L"MonitorEngine::Stop - Stopped"};
    // The new thread's first line may come before or after the second Start's.
    if (rest[0] != expected[0]) std::swap(expected[0], expected[1]);
    EXPECT_EQ(rest, expected);
}

namespace {

// Holds the monitor thread inside its pass until released.
class BlockingSink : public IAlertSink {
public:
    int32_t OnAlert(const AlertRecord&) override {
        SetEvent(entered.get());
        WaitForSingleObject(release.get(), INFINITE);
        return 1;
    }
    UniqueHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

TEST(MonitorEngineWin, StopKeepsStateWhileAPassOutlivesItsWait) {
    LoadGenerator load(kLoad);
    ASSERT_TRUE(load.Ready());
    ThresholdRule rule = Rule(1, L"loadgen_win.exe", 0);
    rule.MaxThreads = 20;
    RuleStore store;
    store.Add(rule);
    BlockingSink sink;
    MonitorEngine engine;
    engine.Attach(&store, &sink);
    engine.pollIntervalMs = 500;
    engine.Start();
    ASSERT_EQ(WaitForSingleObject(sink.entered.get(), 10000), WAIT_OBJECT_0);

    TraceCapture trace;
    engine.Stop();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Stop - Monitor thread still running after 10000 ms; state kept"));
    EXPECT_FALSE(trace.Contains(L"MonitorEngine::Stop - Stopped"));
    EXPECT_GE(MonitorEngineProbe::CooldownCount(engine), 1u);
    engine.Start();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Start - Already running"));

    SetEvent(sink.release.get());
    engine.Stop();
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::MonitorLoop - Exiting loop"));
    EXPECT_TRUE(trace.Contains(L"MonitorEngine::Stop - Stopped"));
    EXPECT_EQ(MonitorEngineProbe::CooldownCount(engine), 0u);
}
