#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include "base/debug_trace.h"
#include "base/handles_win.h"
#include "monitor/monitor_engine_win.h"
#include "monitor/process_list.h"
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

// GetGuiResources is the one counter the process list lacks; it needs no more than limited access.
void ReadGuiCounts(ProcessSample& sample) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, sample.ProcessId));
    if (process) {
        sample.GdiObjects = GetGuiResources(process.get(), GR_GDIOBJECTS);
        sample.UserObjects = GetGuiResources(process.get(), GR_USEROBJECTS);
    }
}

// The list holds every counter but the GUI counts, so only those may cost an open. Processes no
// rule concerns keep the list's counters for the processes page; rules never see them.
void MeasureListed(std::vector<ProcessSample>& samples, const RuleList& ruleList, const ExclusionList& exclusionList) {
    for (ProcessSample& sample : samples) {
        bool wantsGuiCounts = false;
        const MeasureDecision decision = DecideMeasurement(sample, ruleList, exclusionList, &wantsGuiCounts);
        sample.Excluded = decision == MeasureDecision::Excluded;
        if (decision == MeasureDecision::Excluded || decision == MeasureDecision::PseudoProcess) {
            KeepSnapshotFieldsOnly(sample);
        } else if (wantsGuiCounts) {
            ReadGuiCounts(sample);
        }
    }
}

constexpr int32_t kStatusEntryPointNotFound = static_cast<int32_t>(0xC0000139);

}  // namespace

bool MonitorEngine::SampleProcesses(std::vector<ProcessSample>& samples, const RuleList& ruleList,
                                    const ExclusionList& exclusionList) {
    switch (ReadProcessList(samples)) {
    case ProcessListResult::Filled: MeasureListed(samples, ruleList, exclusionList); return true;
    case ProcessListResult::TooLarge:
        DebugTrace(L"MonitorEngine::SampleProcesses - Process list larger than %u MiB",
                   static_cast<uint32_t>(kProcessListCap >> 20));
        return false;
    case ProcessListResult::Failed: break;
    }
    if (!SnapshotProcesses(samples)) {
        return false;
    }
    CollectCounters(samples, ruleList, exclusionList);
    return true;
}

ProcessListResult MonitorEngine::ReadProcessList(std::vector<ProcessSample>& samples) {
    if (!processListQuery_) {
        TraceFallbackOnce(L"query missing", kStatusEntryPointNotFound);
        return ProcessListResult::Failed;
    }
    size_t used = 0;
    int32_t status = 0;
    const ProcessListResult result = QueryProcessList(processListQuery_, processList_, used, status);
    if (result == ProcessListResult::Failed) {
        TraceFallbackOnce(L"query failed", status);
    } else if (result == ProcessListResult::Filled &&
               !ParseProcessList({processList_.data(), used}, reinterpret_cast<uintptr_t>(processList_.data()),
                                 samples)) {
        TraceFallbackOnce(L"unreadable", 0);
        return ProcessListResult::Failed;
    }
    return result;
}

void MonitorEngine::TraceFallbackOnce(const wchar_t* reason, int32_t status) {
    if (!fallbackTraced_) {
        fallbackTraced_ = true;
        DebugTrace(L"MonitorEngine::SampleProcesses - Process list %ls (0x%08X); using the toolhelp snapshot", reason,
                   static_cast<uint32_t>(status));
    }
}

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
