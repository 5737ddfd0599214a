#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include "base/debug_trace.h"
#include "base/win_handles.h"
#include "monitor/monitor_engine_win.h"
#include "monitor/sample_selection.h"

namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568);
static_assert(sizeof(PROCESS_MEMORY_COUNTERS_EX) == 80);

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Each query fails on its own and leaves only its own fields at 0.
void ReadCounters(ProcessSample& sample) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, sample.ProcessId));
    if (!process) {
        return;
    }
    DWORD handleCount = 0;
    if (GetProcessHandleCount(process.get(), &handleCount)) {
        sample.HandleCount = handleCount;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (K32GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
        sample.WorkingSetBytes = memory.WorkingSetSize;
        sample.PrivateBytes = memory.PrivateUsage;
    }
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (GetProcessTimes(process.get(), &creation, &exit, &kernel, &user)) {
        sample.CreationTime = FileTimeValue(creation);
        sample.KernelTime = FileTimeValue(kernel);
        sample.UserTime = FileTimeValue(user);
    }
    process.reset();
    // GUI object counts need the more privileged access; without it they stay 0.
    UniqueHandle guiProcess(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, sample.ProcessId));
    if (guiProcess) {
        sample.GdiObjects = GetGuiResources(guiProcess.get(), GR_GDIOBJECTS);
        sample.UserObjects = GetGuiResources(guiProcess.get(), GR_USEROBJECTS);
    }
}

}  // namespace

bool MonitorEngine::SnapshotProcesses(std::vector<ProcessSample>& samples) {
    samples.clear();
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        DebugTrace(L"CreateToolhelp32Snapshot failed: %u", GetLastError());
        return false;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!Process32FirstW(snapshot.get(), &entry)) {
        return false;
    }
    do {
        ProcessSample& sample = samples.emplace_back();
        sample.ProcessId = entry.th32ProcessID;
        sample.ExeName = entry.szExeFile;
        sample.ThreadCount = entry.cntThreads;
    } while (Process32NextW(snapshot.get(), &entry));
    return true;
}

void MonitorEngine::CollectCounters(std::vector<ProcessSample>& samples, const RuleList& ruleList,
                                    const ExclusionList& exclusionList) {
    for (ProcessSample& sample : samples) {
        const MeasureDecision decision = DecideMeasurement(sample, ruleList, exclusionList);
        sample.Excluded = decision == MeasureDecision::Excluded;
        if (decision == MeasureDecision::Measure) {
            ReadCounters(sample);
        }
    }
}
