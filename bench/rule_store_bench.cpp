#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "ratio_reporter.h"
#include "rules/rule_json.h"
#include "rules/rule_store.h"

namespace {

constexpr uint32_t kRuleCount = 10000;

std::wstring BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("watchkeep_rule_bench_") + name)).wstring();
}

// Rules as users write them: names, wildcards, now and then a path-like pattern needing escapes.
RuleList MakeRules() {
    const wchar_t* names[] = {L"chrome.exe",           L"*",           L"svchost.exe",  L"Code*.exe",
                              L"C:\\Tools\\\"x\".exe", L"msedge?.exe", L"caf\u00e9.exe"};
    RuleList rules;
    for (uint32_t i = 1; i <= kRuleCount; ++i) {
        ThresholdRule rule;
        rule.RuleId = i;
        rule.ProcessPattern = names[i % 7] + std::to_wstring(i);
        rule.Enabled = i % 3 != 0;
        rule.MaxHandles = i * 7;
        rule.MaxWorkingSetBytes = uint64_t{i} * 1048576;
        rule.MaxPrivateBytes = uint64_t{i % 50} * 524288;
        rule.MaxCPU = (i % 100) + 0.5;
        rule.MaxThreads = i % 900;
        rule.CooldownSec = 60 + i % 5;
        rules.push_back(rule);
    }
    return rules;
}

RuleStore& Filled() {
    static RuleStore store;
    if (store.Count() == 0) {
        store.AddNewRules(MakeRules());
    }
    return store;
}

void BM_LoadCsv(benchmark::State& state) {
    const std::wstring path = BenchPath("load.csv");
    Filled().Save(path);
    RuleStore store;
    for (auto _ : state) {
        store.Load(path);
        benchmark::DoNotOptimize(store.Count());
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond);

// A real save: temporary file, flushed to the disk, moved over the old one.
void BM_SaveCsv(benchmark::State& state) {
    const std::wstring path = BenchPath("save.csv");
    for (auto _ : state) {
        benchmark::DoNotOptimize(Filled().Save(path));
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_SaveCsv)->Unit(benchmark::kMillisecond);

void BM_ImportJson(benchmark::State& state) {
    const std::wstring path = BenchPath("export.json");
    Filled().ExportJson(path);
    RuleStore store;
    for (auto _ : state) {
        store.Clear();
        store.ImportJson(path);
        benchmark::DoNotOptimize(store.Count());
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_ImportJson)->Unit(benchmark::kMillisecond);

// The reference: a general JSON parser reading the same file into its document.
void BM_NlohmannParseFile(benchmark::State& state) {
    const std::wstring path = BenchPath("export.json");
    Filled().ExportJson(path);
    for (auto _ : state) {
        std::string bytes;
        ReadFileBytes(path, bytes);
        const auto document = nlohmann::json::parse(bytes.begin() + 3, bytes.end());  // past the mark
        benchmark::DoNotOptimize(document["rules"].size());
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_NlohmannParseFile)->Unit(benchmark::kMillisecond);

// The same comparison without the file: the scanner against the parser on the text in memory.
void BM_ScanJsonText(benchmark::State& state) {
    const std::string text = FormatRulesJson(MakeRules());
    for (auto _ : state) {
        RuleList rules;
        ParseRulesJson(text, rules);
        benchmark::DoNotOptimize(rules.size());
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_ScanJsonText)->Unit(benchmark::kMillisecond);

void BM_NlohmannParseText(benchmark::State& state) {
    const std::string text = FormatRulesJson(MakeRules());
    for (auto _ : state) {
        const auto document = nlohmann::json::parse(text.begin() + 3, text.end());
        benchmark::DoNotOptimize(document["rules"].size());
    }
    state.SetItemsProcessed(state.iterations() * kRuleCount);
}
BENCHMARK(BM_NlohmannParseText)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios({{"BM_ImportJson", "BM_NlohmannParseFile"}, {"BM_ScanJsonText", "BM_NlohmannParseText"}});
    benchmark::Shutdown();
    for (const char* name : {"load.csv", "save.csv", "export.json"}) {
        RemoveFile(BenchPath(name));
    }
    return 0;
}
