// One monitoring pass over a fixed set of real processes (load-generator children), 8 and then 64 of
// them, against the bare system calls such a pass cannot avoid: today's toolhelp pass (snapshot plus
// opens and queries per process) and the pass over the system's process list (one query).
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/handles_win.h"
#include "monitor/monitor_engine_win.h"
#include "monitor/process_list_query_win.h"
#include "rules/rule_presets.h"
#include "win/support/load_generator.h"

struct MonitorEngineProbe {
    static void PollOnce(MonitorEngine& engine) { engine.PollOnce(); }
    // Without the list query a pass takes the toolhelp path, as when the system refuses the query.
    static void UseToolhelp(MonitorEngine& engine) {
        engine.processListQuery_ = {};
        engine.fallbackTraced_ = true;
    }
};

namespace {

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The reference of today's pass: what it must call for these processes, and nothing else.
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

// The reference of the new pass: the one query, into a buffer already large enough.
uint64_t BareListCall(const ProcessListQuery& query, std::vector<std::byte>& buffer) {
    uint32_t needed = 0;
    query(buffer.data(), static_cast<uint32_t>(buffer.size()), &needed);
    return needed;
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

struct Figures {
    const char* name;
    std::vector<double> micros;
};

void PrintRow(const Figures& figures) {
    std::printf("%-22s %12.1f %12.1f\n", figures.name, Mean(figures.micros), Median(figures.micros));
}

void PrintRatio(const char* what, const Figures& ours, const Figures& reference) {
    std::printf("%-36s %8.3f (median %.3f)\n", what, Mean(ours.micros) / Mean(reference.micros),
                Median(ours.micros) / Median(reference.micros));
}

}  // namespace

int main() {
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
    MonitorEngine today, listed;
    MonitorEngineProbe::UseToolhelp(today);
    today.Attach(&store, nullptr, &settings);
    listed.Attach(&store, nullptr, &settings);
    const ProcessListQuery query = SystemProcessListQuery();
    std::vector<std::byte> buffer(size_t{16} << 20);

    // Children that hold some memory and threads until the benchmark ends.
    std::vector<std::unique_ptr<LoadGenerator>> children;
    std::vector<DWORD> ids;
    uint64_t checksum = 0;
    for (const int count : {8, 64}) {
        while (static_cast<int>(children.size()) < count) {
            children.push_back(std::make_unique<LoadGenerator>(L"alloc 16 threads 8"));
            if (!children.back()->Ready()) {
                std::printf("could not start loadgen_win.exe\n");
                return 1;
            }
            ids.push_back(children.back()->ProcessId());
        }
        std::sort(ids.begin(), ids.end());
        for (int i = 0; i < 20; ++i) {
            MonitorEngineProbe::PollOnce(today);
            MonitorEngineProbe::PollOnce(listed);
            checksum += BarePass(ids) + BareListCall(query, buffer);
        }
        Figures todayPass{"today's pass", {}}, listPass{"new pass", {}}, todayBare{"today's bare calls", {}},
            listBare{"new bare call", {}}, record{"history record", {}};
        ProcessHistory history;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        const auto timed = [&](Figures& figures, auto&& run) {
            QueryPerformanceCounter(&start);
            run();
            QueryPerformanceCounter(&end);
            figures.micros.push_back(Micros(start, end, frequency));
        };
        const int rounds = count == 8 ? 300 : 100;
        for (int round = 0; round < rounds; ++round) {
            timed(todayPass, [&] { MonitorEngineProbe::PollOnce(today); });
            timed(listPass, [&] { MonitorEngineProbe::PollOnce(listed); });
            timed(todayBare, [&] { checksum += BarePass(ids); });
            timed(listBare, [&] { checksum += BareListCall(query, buffer); });
            // The engine hands its samples over; the copy stands for what the pass built.
            std::vector<ProcessSample> samples = listed.History().LastPass();
            timed(record, [&] { history.Record(round, std::move(samples)); });
        }
        std::printf("\nengine pass over %d measured processes, %d rounds (checksum %llu)\n", count, rounds,
                    static_cast<unsigned long long>(checksum % 1000));
        std::printf("%-22s %12s %12s\n", "", "mean us", "median us");
        for (const Figures* figures : {&todayPass, &listPass, &todayBare, &listBare, &record}) {
            PrintRow(*figures);
        }
        PrintRatio("new pass / today's bare calls", listPass, todayBare);
        PrintRatio("new pass / new bare call", listPass, listBare);
        PrintRatio("today's pass / today's bare calls", todayPass, todayBare);
        PrintRatio("history record / new pass (its share)", record, listPass);
    }
    // The history's memory with 300 processes running for more passes than it keeps.
    ProcessHistory history;
    std::vector<ProcessSample> running(300);
    for (uint32_t id = 0; id < running.size(); ++id) {
        running[id] = ProcessSample{.ProcessId = id * 4 + 8, .ExeName = L"process" + std::to_wstring(id) + L".exe"};
    }
    for (size_t pass = 0; pass < kHistoryPasses + 10; ++pass) {
        history.Record(static_cast<double>(pass), running);
    }
    std::printf("\nhistory of %zu processes over %zu passes: %zu bytes per process, %.2f MiB in total (cap %zu MiB)\n",
                history.ProcessCount(), kHistoryPasses, history.Bytes() / history.ProcessCount(),
                static_cast<double>(history.Bytes()) / (1 << 20), kHistoryByteCap >> 20);
    return 0;
}
