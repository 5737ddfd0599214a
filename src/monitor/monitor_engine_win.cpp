#include <windows.h>

#include "monitor/monitor_engine_win.h"

#include <chrono>
#include <utility>

#include "base/debug_trace.h"
#include "base/exception_barrier.h"

namespace {

constexpr DWORD kStopWaitMs = 10000;

const MonitorClock kSystemClock{
    []() -> uint64_t { return GetTickCount64(); },
    []() -> AlertTime {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return AlertTime{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                         now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
    },
};

}  // namespace

MonitorEngine::MonitorEngine() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    processorCount_ = info.dwNumberOfProcessors != 0 ? info.dwNumberOfProcessors : 1;
}

MonitorEngine::~MonitorEngine() {
    if (!Stop()) {
        // Saving happened before the engine is destroyed; what is left is a pass that would use
        // this object after its end, so the process ends here instead of crashing later.
        DebugTrace(L"MonitorEngine::~MonitorEngine - Monitor thread still running; ending the process");
        ExitProcess(0);
    }
}

void MonitorEngine::Attach(RuleStore* ruleList, IAlertSink* alertSink, const AppSettings* settings) {
    rules_ = ruleList;
    sink_ = alertSink;
    settings_ = settings;
}

void MonitorEngine::Start() {
    if (thread_) {
        DebugTrace(L"MonitorEngine::Start - Already running");
        return;
    }
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_) {
        DebugTrace(L"MonitorEngine::Start - CreateEvent failed: %u", GetLastError());
        return;
    }
    const auto threadProc = [](LPVOID engine) -> DWORD {
        return Guarded(L"MonitorThread", DWORD{1},
                       [engine] { return static_cast<MonitorEngine*>(engine)->MonitorLoop(); });
    };
    DWORD threadId = 0;
    thread_.reset(CreateThread(nullptr, 0, threadProc, this, 0, &threadId));
    if (!thread_) {
        DebugTrace(L"MonitorEngine::Start - CreateThread failed: %u", GetLastError());
        stopEvent_.reset();
        return;
    }
    DebugTrace(L"MonitorEngine::Start - Monitor thread started (TID %u, interval %u ms)", threadId,
               settings_->PollIntervalMs.load(std::memory_order_relaxed));
}

bool MonitorEngine::Stop() {
    if (stopEvent_) {
        SetEvent(stopEvent_.get());
    }
    if (thread_) {
        if (WaitForSingleObject(thread_.get(), kStopWaitMs) == WAIT_TIMEOUT) {
            // A pass is still using the maps: keep them, the handles and the signalled event, so
            // the thread ends by itself after its pass and a later Stop finishes the job.
            DebugTrace(L"MonitorEngine::Stop - Monitor thread still running after %u ms; state kept", kStopWaitMs);
            return false;
        }
        thread_.reset();
    }
    stopEvent_.reset();
    cpuHistory_.clear();
    alertCooldowns_.clear();
    alertEpisodes_.clear();
    DebugTrace(L"MonitorEngine::Stop - Stopped");
    return true;
}

uint32_t MonitorEngine::MonitorLoop() {
    DebugTrace(L"MonitorEngine::MonitorLoop - Entering loop");
    while (WaitForSingleObject(stopEvent_.get(), settings_->PollIntervalMs.load(std::memory_order_relaxed)) ==
           WAIT_TIMEOUT) {
        RunTurn();
    }
    DebugTrace(L"MonitorEngine::MonitorLoop - Exiting loop");
    return 0;
}

void MonitorEngine::RunTurn() {
    const bool isPaused = paused.load(std::memory_order_relaxed);
    if (passObserver_ == nullptr) {
        if (!isPaused) {
            PollOnce();
        }
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    PassReport report;
    report.Paused = isPaused;
    report.PollIntervalMs = settings_->PollIntervalMs.load(std::memory_order_relaxed);
    if (!isPaused) {
        PollOnce(&report);
    }
    // A turn that measured nothing still shows the rules it would have used.
    if (!report.Rules && rules_ != nullptr) {
        report.Rules = rules_->Snapshot();
    }
    report.DurationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report.TimeSeconds =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    passObserver_->OnPass(report);
}

void MonitorEngine::PollOnce(PassReport* report) {
    if (rules_ == nullptr) {
        return;
    }
    // Both lists are immutable snapshots: edits replace them whole and never wait for this pass.
    // Even with no rule the pass runs: the processes page shows what a rule would see.
    const std::shared_ptr<const RuleList> ruleList = rules_->Snapshot();
    const std::shared_ptr<const ExclusionList> exclusionList = settings_->Exclusions.Snapshot();
    std::vector<ProcessSample> samples;
    if (!SampleProcesses(samples, *ruleList, *exclusionList)) {
        return;
    }
    UpdateCpuUsage(samples, cpuHistory_, GetTickCount64(), processorCount_);
    if (report != nullptr) {
        report->BeginMeasuring(ruleList, samples.size());
    }
    EvaluateRules(samples, *ruleList, alertCooldowns_, alertEpisodes_, kSystemClock, sink_, report);
    PruneCooldowns(alertCooldowns_, samples);
    history_.Record(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(),
                    std::move(samples));
}
