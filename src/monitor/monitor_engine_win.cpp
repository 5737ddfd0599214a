#include <windows.h>

#include "monitor/monitor_engine_win.h"

#include "base/debug_trace.h"

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
    processorCount = info.dwNumberOfProcessors != 0 ? info.dwNumberOfProcessors : 1;
}

MonitorEngine::~MonitorEngine() {
    if (!Stop()) {
        // Saving happened before the engine is destroyed; what is left is a pass that would use
        // this object after its end, so the process ends here instead of crashing later.
        DebugTrace(L"MonitorEngine::~MonitorEngine - Monitor thread still running; ending the process");
        ExitProcess(0);
    }
}

void MonitorEngine::Attach(RuleStore* ruleList, IAlertSink* alertSink, const AppSettings* appSettingsIn) {
    rules = ruleList;
    sink = alertSink;
    settings = appSettingsIn;
}

void MonitorEngine::Start() {
    if (thread) {
        DebugTrace(L"MonitorEngine::Start - Already running");
        return;
    }
    stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent) {
        DebugTrace(L"MonitorEngine::Start - CreateEvent failed: %u", GetLastError());
        return;
    }
    const auto threadProc = [](LPVOID engine) -> DWORD { return static_cast<MonitorEngine*>(engine)->MonitorLoop(); };
    DWORD threadId = 0;
    thread.reset(CreateThread(nullptr, 0, threadProc, this, 0, &threadId));
    if (!thread) {
        DebugTrace(L"MonitorEngine::Start - CreateThread failed: %u", GetLastError());
        stopEvent.reset();
        return;
    }
    DebugTrace(L"MonitorEngine::Start - Monitor thread started (TID %u, interval %u ms)", threadId,
               settings->PollIntervalMs.load(std::memory_order_relaxed));
}

bool MonitorEngine::Stop() {
    if (stopEvent) {
        SetEvent(stopEvent.get());
    }
    if (thread) {
        if (WaitForSingleObject(thread.get(), kStopWaitMs) == WAIT_TIMEOUT) {
            // A pass is still using the maps: keep them, the handles and the signalled event, so
            // the thread ends by itself after its pass and a later Stop finishes the job.
            DebugTrace(L"MonitorEngine::Stop - Monitor thread still running after %u ms; state kept", kStopWaitMs);
            return false;
        }
        thread.reset();
    }
    stopEvent.reset();
    cpuHistory.clear();
    alertCooldowns.clear();
    DebugTrace(L"MonitorEngine::Stop - Stopped");
    return true;
}

uint32_t MonitorEngine::MonitorLoop() {
    DebugTrace(L"MonitorEngine::MonitorLoop - Entering loop");
    while (WaitForSingleObject(stopEvent.get(), settings->PollIntervalMs.load(std::memory_order_relaxed)) ==
           WAIT_TIMEOUT) {
        if (!paused.load(std::memory_order_relaxed)) {
            PollOnce();
        }
    }
    DebugTrace(L"MonitorEngine::MonitorLoop - Exiting loop");
    return 0;
}

void MonitorEngine::PollOnce() {
    if (rules == nullptr) {
        return;
    }
    // Both lists are immutable snapshots: edits replace them whole and never wait for this pass.
    const std::shared_ptr<const RuleList> ruleList = rules->Snapshot();
    if (ruleList->empty()) {
        return;
    }
    const std::shared_ptr<const ExclusionList> exclusionList = settings->Exclusions.Snapshot();
    std::vector<ProcessSample> samples;
    if (!SnapshotProcesses(samples)) {
        return;
    }
    CollectCounters(samples, *ruleList, *exclusionList);
    UpdateCpuUsage(samples, cpuHistory, GetTickCount64(), processorCount);
    EvaluateRules(samples, *ruleList, alertCooldowns, kSystemClock, sink);
    PruneCooldowns(alertCooldowns, samples);
}
