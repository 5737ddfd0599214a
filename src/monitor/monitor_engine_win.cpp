#include <windows.h>

#include "monitor/monitor_engine.h"

#include "app/debug_trace.h"

MonitorEngine monitorEngine;

namespace {

constexpr DWORD kStopWaitMs = 10000;

const MonitorClock kSystemClock{
    []() -> uint64_t { return GetTickCount64(); },
    []() -> AlertTime {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return AlertTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                         now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    },
};

}  // namespace

MonitorEngine::MonitorEngine() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    processorCount = info.dwNumberOfProcessors != 0 ? info.dwNumberOfProcessors : 1;
}

MonitorEngine::~MonitorEngine() {
    Stop();
    if (thread != nullptr) {
        // A pass outlived Stop's wait; the maps it is using die with this object, so let it finish.
        WaitForSingleObject(thread, INFINITE);
        Stop();
    }
}

void MonitorEngine::Attach(RuleStore* ruleList, IAlertSink* alertSink) {
    rules = ruleList;
    sink = alertSink;
}

void MonitorEngine::Start() {
    if (thread != nullptr) {
        DebugTrace(L"MonitorEngine::Start - Already running");
        return;
    }
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent == nullptr) {
        DebugTrace(L"MonitorEngine::Start - CreateEvent failed: %u", GetLastError());
        return;
    }
    const auto threadProc = [](LPVOID engine) -> DWORD { return static_cast<MonitorEngine*>(engine)->MonitorLoop(); };
    DWORD threadId = 0;
    thread = CreateThread(nullptr, 0, threadProc, this, 0, &threadId);
    if (thread == nullptr) {
        DebugTrace(L"MonitorEngine::Start - CreateThread failed: %u", GetLastError());
        CloseHandle(stopEvent);
        stopEvent = nullptr;
        return;
    }
    DebugTrace(L"MonitorEngine::Start - Monitor thread started (TID %u, interval %u ms)", threadId,
               pollIntervalMs.load(std::memory_order_relaxed));
}

void MonitorEngine::Stop() {
    if (stopEvent != nullptr) {
        SetEvent(stopEvent);
    }
    if (thread != nullptr) {
        if (WaitForSingleObject(thread, kStopWaitMs) == WAIT_TIMEOUT) {
            // A pass is still using the maps: keep them, the handles and the signalled event, so
            // the thread ends by itself after its pass and a later Stop finishes the job.
            DebugTrace(L"MonitorEngine::Stop - Monitor thread still running after %u ms; state kept", kStopWaitMs);
            return;
        }
        CloseHandle(thread);
        thread = nullptr;
    }
    if (stopEvent != nullptr) {
        CloseHandle(stopEvent);
        stopEvent = nullptr;
    }
    cpuHistory.clear();
    alertCooldowns.clear();
    DebugTrace(L"MonitorEngine::Stop - Stopped");
}

uint32_t MonitorEngine::MonitorLoop() {
    DebugTrace(L"MonitorEngine::MonitorLoop - Entering loop");
    while (WaitForSingleObject(stopEvent, pollIntervalMs.load(std::memory_order_relaxed)) == WAIT_TIMEOUT) {
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
    const std::shared_ptr<const ExclusionList> exclusionList = exclusions.Snapshot();
    std::vector<ProcessSample> samples;
    if (!SnapshotProcesses(samples)) {
        return;
    }
    CollectCounters(samples, *ruleList, *exclusionList);
    UpdateCpuUsage(samples, cpuHistory, GetTickCount64(), processorCount);
    EvaluateRules(samples, *ruleList, alertCooldowns, kSystemClock, sink);
    PruneCooldowns(alertCooldowns, samples);
}
