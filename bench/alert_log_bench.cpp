#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "base/file_io.h"
#include "ratio_reporter.h"

namespace {

struct LogFile {
    const char* name;
    uint64_t bytes;
    std::wstring path;
};

std::vector<LogFile>& Logs() {
    static std::vector<LogFile> logs = {{"1MB", 1ull << 20, {}}, {"100MB", 100ull << 20, {}}, {"1GB", 1ull << 30, {}}};
    return logs;
}

// About 1 MB of alert lines as DeliverAlert writes them, with an occasional long violation.
std::string MakeChunk() {
    std::string chunk;
    for (uint32_t i = 0; chunk.size() < (1u << 20); ++i) {
        AlertRecord record;
        record.Time = {2024,
                       5,
                       0,
                       static_cast<uint16_t>(1 + i % 28),
                       static_cast<uint16_t>(i % 24),
                       static_cast<uint16_t>(i % 60),
                       static_cast<uint16_t>(i % 60),
                       0};
        record.PID = 1000 + i * 4;
        record.Process = i % 3 ? L"chrome.exe" : L"msedgewebview2.exe";
        record.Violation = i % 500 ? L"Handles: 6000 > 5000; Working Set: 5120 MB > 4096 MB" : std::wstring(3000, L'x');
        chunk += FormatAlertLogLine(record);
    }
    return chunk;
}

bool WriteLogs(const std::filesystem::path& folder) {
    const std::string chunk = MakeChunk();
    for (LogFile& log : Logs()) {
        log.path = (folder / (std::string("alerts_") + log.name + ".log")).wstring();
        FilePtr file = OpenFile(log.path, "wb");
        if (!file) {
            return false;
        }
        for (uint64_t written = 0; written < log.bytes; written += chunk.size()) {
            if (!WriteAll(file.get(), chunk)) {
                return false;
            }
        }
    }
    return true;
}

void BM_LoadAlertLog(benchmark::State& state, const LogFile* log) {
    AlertHistoryStore store;
    for (auto _ : state) {
        LoadAlertLog(store, log->path);
        AlertHistoryLock history(store);
        if (history->Count() != kAlertHistoryMax) {
            state.SkipWithError("history not full");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("watchkeep_alert_log_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    if (!WriteLogs(folder)) {
        std::fprintf(stderr, "cannot write the logs into %s\n", folder.string().c_str());
        std::filesystem::remove_all(folder);
        return 1;
    }
    for (const LogFile& log : Logs()) {
        benchmark::RegisterBenchmark((std::string("BM_LoadAlertLog/") + log.name).c_str(), BM_LoadAlertLog, &log)
            ->Unit(benchmark::kMicrosecond);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(
        {{"BM_LoadAlertLog/100MB", "BM_LoadAlertLog/1MB"}, {"BM_LoadAlertLog/1GB", "BM_LoadAlertLog/1MB"}});
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
