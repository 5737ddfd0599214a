// CPU time a running `watchkeep.exe -tray` uses with 50 rules (the presets, `*` among them, and
// named patterns), a 500 ms poll interval and 64 load-generator children, over a minute (or the
// seconds given; a second argument replaces the children's load, "alloc 16 threads 8"). Not part of
// the test command; from the source folder:
//   xvfb-run -a bash -c '. scripts/wine-prefix.sh build/windows && wine build/windows/bin/tray_cpu_bench.exe 60'
// It writes the prefix's rules and settings and removes them, and the alert log, at its end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/app_data_folder_win.h"
#include "base/file_io.h"
#include "base/utf8.h"
#include "monitor/process_list.h"
#include "monitor/process_list_query_win.h"
#include "rules/rule_csv.h"
#include "rules/rule_presets.h"
#include "settings/settings_store_win.h"
#include "win/support/load_generator.h"

namespace {

constexpr DWORD kPollIntervalMs = 500;

// Kernel plus user time of a process, 100 ns units, from the process list: Wine freezes
// GetProcessTimes of another process.
uint64_t CpuTime(DWORD processId) {
    static const ProcessListQuery query = SystemProcessListQuery();
    std::vector<std::byte> buffer;
    std::vector<ProcessSample> samples;
    size_t used = 0;
    int32_t status = 0;
    if (!query || QueryProcessList(query, buffer, used, status) != ProcessListResult::Filled ||
        !ParseProcessList({buffer.data(), used}, reinterpret_cast<uintptr_t>(buffer.data()), samples)) {
        return 0;
    }
    for (const ProcessSample& sample : samples) {
        if (sample.ProcessId == processId) {
            return sample.KernelTime + sample.UserTime;
        }
    }
    return 0;
}

RuleList FiftyRules() {
    RuleList rules;
    for (const RulePreset& preset : RulePresets()) {
        rules.insert(rules.end(), preset.Rules.begin(), preset.Rules.end());
    }
    while (rules.size() < 50) {
        const std::wstring number = std::to_wstring(rules.size());
        const std::wstring pattern = rules.size() % 3 == 0   ? L"svc" + number + L"?.exe"
                                     : rules.size() % 3 == 1 ? L"app" + number + L".exe"
                                                             : L"loadgen_win.exe";
        rules.push_back({.ProcessPattern = pattern, .MaxHandles = 100000, .MaxThreads = 5000});
    }
    for (uint32_t i = 0; i < rules.size(); ++i) {
        rules[i].RuleId = i + 1;
    }
    return rules;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    // The list query's cost grows with the threads of all processes (under Wine it reads each one's times).
    const std::wstring load = argc > 2 ? Utf8ToWide(argv[2]) : L"alloc 16 threads 8";
    const std::wstring folder = RoamingAppDataFolder() + L"\\Watchkeep";
    CreateDirectoryW(folder.c_str(), nullptr);
    const RuleList rules = FiftyRules();
    if (!WriteFileBytes(folder + L"\\rules.csv", FormatRulesCsv(rules))) {
        std::printf("could not write the rules\n");
        return 1;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"PollIntervalMs", REG_DWORD, &kPollIntervalMs,
                    sizeof(kPollIntervalMs));
    std::vector<std::unique_ptr<LoadGenerator>> children;
    while (children.size() < 64) {
        children.push_back(std::make_unique<LoadGenerator>(load));
        if (!children.back()->Ready()) {
            std::printf("could not start loadgen_win.exe\n");
            return 1;
        }
    }
    const UniqueHandle program = StartProgram(L"watchkeep.exe", L"-tray");
    for (int i = 0; i < 200 && FindWindowW(L"WATCHKEEPW", L"Watchkeep") == nullptr; ++i) {
        Sleep(50);
    }
    Sleep(2 * kPollIntervalMs);  // past start-up and the first pass
    const DWORD processId = GetProcessId(program.get());
    const uint64_t cpuBefore = CpuTime(processId);
    const ULONGLONG tickBefore = GetTickCount64();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double cpuSeconds = static_cast<double>(CpuTime(processId) - cpuBefore) / 1e7;
    const double elapsedSeconds = static_cast<double>(GetTickCount64() - tickBefore) / 1000.0;
    WaitForSingleObject(StartProgram(L"watchkeep.exe", L"-terminate").get(), 15000);
    WaitForSingleObject(program.get(), 15000);
    DeleteFileW((folder + L"\\rules.csv").c_str());
    DeleteFileW((folder + L"\\alerts.log").c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);

    const double passes = elapsedSeconds * 1000.0 / kPollIntervalMs;
    const double share = cpuSeconds / elapsedSeconds * 100.0;
    std::printf("watchkeep.exe -tray, %u rules, %u children (%ls), poll %u ms, %.1f s\n",
                static_cast<unsigned>(rules.size()), static_cast<unsigned>(children.size()), load.c_str(),
                static_cast<unsigned>(kPollIntervalMs), elapsedSeconds);
    std::printf("CPU %.3f s, about %.0f passes: %.2f ms CPU per pass, %.3f %% of one core (goal 1 %%, ratio %.3f)\n",
                cpuSeconds, passes, cpuSeconds * 1000.0 / passes, share, share / 1.0);
    return 0;
}
