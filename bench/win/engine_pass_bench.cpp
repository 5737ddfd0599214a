// One monitoring pass over a fixed set of real processes (load-generator children) against the
// bare system calls such a pass cannot avoid: one snapshot plus the same opens and queries.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/win_handles.h"
#include "monitor/monitor_engine_win.h"
#include "rules/rule_presets.h"
#include "win/support/load_generator.h"

struct MonitorEngineProbe {
    static void PollOnce(MonitorEngine& engine) { engine.PollOnce(); }
};

namespace {

constexpr int kChildren = 8;
constexpr int kRounds = 300;

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The reference: what any pass must call for these processes, and nothing else.
uint64_t BarePass(const std::vector<DWORD>& sortedIds) {
    uint64_t checksum = 0;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        checksum += entry.cntThreads;
        if (!std::binary_search(sortedIds.begin(), sortedIds.end(), entry.th32ProcessID)) {
            continue;
        }
        UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
        if (!process) {
            continue;
        }
        DWORD handles = 0;
        GetProcessHandleCount(process.get(), &handles);
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof(memory);
        K32GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
        FILETIME creation{}, exit{}, kernel{}, user{};
        GetProcessTimes(process.get(), &creation, &exit, &kernel, &user);
        process.reset();
        UniqueHandle guiProcess(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID));
        if (guiProcess) {
            checksum +=
                GetGuiResources(guiProcess.get(), GR_GDIOBJECTS) + GetGuiResources(guiProcess.get(), GR_USEROBJECTS);
        }
        checksum += handles + memory.WorkingSetSize + FileTimeValue(kernel) + FileTimeValue(user);
    }
    return checksum;
}

double Micros(LARGE_INTEGER start, LARGE_INTEGER end, LARGE_INTEGER frequency) {
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) {
        sum += v;
    }
    return sum / static_cast<double>(values.size());
}

}  // namespace

int main() {
    // Children that hold some memory and threads until the benchmark ends.
    std::vector<std::unique_ptr<LoadGenerator>> children;
    std::vector<DWORD> ids;
    for (int i = 0; i < kChildren; ++i) {
        children.push_back(std::make_unique<LoadGenerator>(L"alloc 16 threads 8"));
        if (!children.back()->Ready()) {
            std::printf("could not start loadgen_win.exe\n");
            return 1;
        }
        ids.push_back(children.back()->ProcessId());
    }
    std::sort(ids.begin(), ids.end());

    // The browser preset (which matches nothing here) and a quiet rule for the children.
    RuleStore store;
    for (const ThresholdRule& rule : RulePresets().front().Rules) {
        store.Add(rule);
    }
    ThresholdRule childRule;
    childRule.RuleId = 99;
    childRule.ProcessPattern = L"loadgen_win.exe";
    childRule.MaxHandles = 5000;
    childRule.MaxWorkingSetBytes = 4096 * kBytesPerMB;
    childRule.MaxThreads = 500;
    store.Add(childRule);
    AppSettings settings;
    settings.Exclusions.Set({L"svchost.exe", L"winedevice.exe"});
    MonitorEngine engine;
    engine.Attach(&store, nullptr, &settings);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    uint64_t checksum = 0;
    for (int i = 0; i < 20; ++i) {
        MonitorEngineProbe::PollOnce(engine);
        checksum += BarePass(ids);
    }
    std::vector<double> ours, reference;
    for (int round = 0; round < kRounds; ++round) {
        QueryPerformanceCounter(&start);
        MonitorEngineProbe::PollOnce(engine);
        QueryPerformanceCounter(&end);
        ours.push_back(Micros(start, end, frequency));
        QueryPerformanceCounter(&start);
        checksum += BarePass(ids);
        QueryPerformanceCounter(&end);
        reference.push_back(Micros(start, end, frequency));
    }

    std::printf("engine pass over %d measured processes, %d rounds (checksum %llu)\n", kChildren, kRounds,
                static_cast<unsigned long long>(checksum % 1000));
    std::printf("%-10s %14s %14s %8s\n", "", "engine us", "bare calls us", "ratio");
    std::printf("%-10s %14.1f %14.1f %8.3f\n", "mean", Mean(ours), Mean(reference), Mean(ours) / Mean(reference));
    std::printf("%-10s %14.1f %14.1f %8.3f\n", "median", Median(ours), Median(reference),
                Median(ours) / Median(reference));
    return 0;
}
