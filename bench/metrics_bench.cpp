// The metrics file at 50 rules, 300 processes and 20 of them over a limit: its text, its write
// (temporary file, flush to disk, move), and what the pass report adds to the evaluation, against
// the evaluation of the same pass without a report.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "metrics/metrics_text.h"
#include "monitor/rule_evaluation.h"
#include "ratio_reporter.h"

namespace {

constexpr uint32_t kRules = 50, kProcesses = 300, kOver = 20;

const MonitorClock kBenchClock{
    []() -> uint64_t { return 1000000; },
    []() { return AlertTime{}; },
};

struct Pass {
    std::vector<ProcessSample> samples;
    std::shared_ptr<RuleList> rules = std::make_shared<RuleList>();
};

// Every rule watches six processes by name; the first 20 processes run 150 threads against 100.
Pass MakePass() {
    Pass pass;
    for (uint32_t i = 0; i < kRules; ++i) {
        pass.rules->push_back({.RuleId = i + 1,
                               .ProcessPattern = L"app" + std::to_wstring(i) + L".exe",
                               .MaxHandles = 5000,
                               .MaxWorkingSetBytes = 512 * kBytesPerMB,
                               .MaxThreads = 100,
                               .CooldownSec = 600});
    }
    for (uint32_t i = 0; i < kProcesses; ++i) {
        pass.samples.push_back({.ProcessId = 1000 + 4 * i,
                                .ExeName = L"app" + std::to_wstring(i % kRules) + L".exe",
                                .CpuPercent = 1.5,
                                .WorkingSetBytes = (100 + i) * kBytesPerMB,
                                .HandleCount = 400 + i,
                                .ThreadCount = i < kOver ? 150u : 20u,
                                .CreationTime = 1 + i});
    }
    return pass;
}

PassReport Evaluate(const Pass& pass, AlertCooldowns& cooldowns, bool withReport) {
    PassReport report{1765000000.25, 0.012, 30000};
    AlertEpisodes episodes;
    if (withReport) {
        report.BeginMeasuring(pass.rules, pass.samples.size());
    }
    EvaluateRules(pass.samples, *pass.rules, cooldowns, episodes, kBenchClock, nullptr, withReport ? &report : nullptr);
    return report;
}

void BM_EvaluateWithoutReport(benchmark::State& state) {
    const Pass pass = MakePass();
    AlertCooldowns cooldowns;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Evaluate(pass, cooldowns, false));
    }
}
BENCHMARK(BM_EvaluateWithoutReport);

void BM_EvaluateWithReport(benchmark::State& state) {
    const Pass pass = MakePass();
    AlertCooldowns cooldowns;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Evaluate(pass, cooldowns, true));
    }
}
BENCHMARK(BM_EvaluateWithReport);

void BM_FormatMetrics(benchmark::State& state) {
    const Pass pass = MakePass();
    AlertCooldowns cooldowns;
    const PassReport report = Evaluate(pass, cooldowns, true);
    MetricsText text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.Format(report).size());
    }
}
BENCHMARK(BM_FormatMetrics);

// Format and replace the file, as every pass with the setting on does (argument 1), and with the
// waits for the disk that other files of the program take (argument 0).
void BM_PublishMetrics(benchmark::State& state) {
    const Pass pass = MakePass();
    AlertCooldowns cooldowns;
    const PassReport report = Evaluate(pass, cooldowns, true);
    MetricsText text;
    const std::wstring path = (std::filesystem::temp_directory_path() / "watchkeep_bench.prom").wstring();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ReplaceFileBytes(path, text.Format(report), nullptr, state.range(0) ? Flush::Skip : Flush::ToDisk));
    }
    RemoveFile(path);
}
BENCHMARK(BM_PublishMetrics)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    {
        const Pass pass = MakePass();
        AlertCooldowns cooldowns;
        MetricsText text;
        const std::string& file = text.Format(Evaluate(pass, cooldowns, true));
        size_t lines = 0;
        for (const char c : file) {
            lines += c == '\n';
        }
        std::printf("%u rules, %u processes, %u over: metrics file of %zu bytes in %zu lines\n", kRules, kProcesses,
                    kOver, file.size(), lines);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios({{"BM_EvaluateWithReport", "BM_EvaluateWithoutReport"},
                          {"BM_FormatMetrics", "BM_EvaluateWithoutReport"},
                          {"BM_PublishMetrics/0", "BM_EvaluateWithoutReport"},
                          {"BM_PublishMetrics/1", "BM_EvaluateWithoutReport"}});
    benchmark::Shutdown();
    return 0;
}
