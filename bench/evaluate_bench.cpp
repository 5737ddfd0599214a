#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "monitor/rule_evaluation.h"
#include "ratio_reporter.h"
#include "rules/rule_presets.h"
#include "rules/wildcard_match.h"

// Every allocation of the program is counted, to show that a quiet (sample, rule) pair costs none.
namespace {
std::atomic<uint64_t> allocationCount{0};
}

// Kept out of line: inlined into callers, GCC takes the malloc/free pair for a new/free mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* memory) noexcept {
    std::free(memory);
}
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

constexpr size_t kSampleCount = 500;

const MonitorClock kBenchClock{
    []() -> uint64_t { return 1000000; },
    []() { return AlertTime{}; },
};

// Process names a snapshot reports, counters below every preset limit.
std::vector<ProcessSample> QuietSamples() {
    const wchar_t* names[] = {L"chrome.exe",        L"svchost.exe", L"explorer.exe", L"firefox.exe", L"msedge.exe",
                              L"RuntimeBroker.exe", L"conhost.exe", L"Code.exe",     L"dllhost.exe", L"Teams.exe"};
    std::vector<ProcessSample> samples(kSampleCount);
    for (size_t i = 0; i < kSampleCount; ++i) {
        ProcessSample& s = samples[i];
        s.ProcessId = static_cast<uint32_t>(1000 + 4 * i);
        s.ExeName = names[i % std::size(names)];
        s.HandleCount = 300 + static_cast<uint32_t>(i);
        s.WorkingSetBytes = (50 + i) * kBytesPerMB;
        s.PrivateBytes = (40 + i) * kBytesPerMB;
        s.CpuPercent = static_cast<double>(i % 50);
        s.ThreadCount = 10 + static_cast<uint32_t>(i % 40);
        s.GdiObjects = 100;
        s.UserObjects = 50;
        s.CreationTime = 130000000000000000ull + i;
    }
    return samples;
}

RuleList PresetRules(size_t presetIndex) {
    RuleList rules;
    const auto& presets = RulePresets();
    for (size_t p = 0; p < presets.size(); ++p) {
        if (presetIndex == presets.size() || p == presetIndex) {
            rules.insert(rules.end(), presets[p].Rules.begin(), presets[p].Rules.end());
        }
    }
    for (size_t i = 0; i < rules.size(); ++i) {
        rules[i].RuleId = static_cast<uint32_t>(i + 1);
    }
    return rules;
}

size_t MatchingPairs(const std::vector<ProcessSample>& samples, const RuleList& rules) {
    size_t pairs = 0;
    for (const auto& s : samples) {
        for (const auto& r : rules) {
            pairs += r.Enabled && WildcardMatch(s.ExeName.c_str(), r.ProcessPattern.c_str());
        }
    }
    return pairs;
}

// Argument: preset index 0 to 5, or 6 for all six sets together.
void BM_EvaluateRules(benchmark::State& state) {
    const auto samples = QuietSamples();
    const RuleList rules = PresetRules(static_cast<size_t>(state.range(0)));
    AlertCooldowns cooldowns;
    AlertEpisodes episodes;
    const uint64_t before = allocationCount.load();
    for (auto _ : state) {
        EvaluateRules(samples, rules, cooldowns, episodes, kBenchClock, nullptr);
    }
    const double pairs = static_cast<double>(MatchingPairs(samples, rules)) * static_cast<double>(state.iterations());
    state.counters["allocs/pair"] = static_cast<double>(allocationCount.load() - before) / pairs;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size() * rules.size()));
}
BENCHMARK(BM_EvaluateRules)->DenseRange(0, 6);

// The work no evaluation can skip: the pattern match and the seven comparisons of each pair.
void BM_BareComparisons(benchmark::State& state) {
    const auto samples = QuietSamples();
    const RuleList rules = PresetRules(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        int violated = 0;
        for (const auto& s : samples) {
            for (const auto& r : rules) {
                if (!r.Enabled || !WildcardMatch(s.ExeName.c_str(), r.ProcessPattern.c_str())) {
                    continue;
                }
                violated += (r.MaxHandles != 0 && s.HandleCount > r.MaxHandles) +
                            (r.MaxWorkingSetBytes != 0 && s.WorkingSetBytes > r.MaxWorkingSetBytes) +
                            (r.MaxPrivateBytes != 0 && s.PrivateBytes > r.MaxPrivateBytes) +
                            (r.MaxCPU > 0.0 && s.CpuPercent > r.MaxCPU) +
                            (r.MaxThreads != 0 && s.ThreadCount > r.MaxThreads) +
                            (r.MaxGDI != 0 && s.GdiObjects > r.MaxGDI) + (r.MaxUSER != 0 && s.UserObjects > r.MaxUSER);
            }
        }
        benchmark::DoNotOptimize(violated);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size() * rules.size()));
}
BENCHMARK(BM_BareComparisons)->DenseRange(0, 6);

// One sample in ten over the thread-bomb limit: texts are built, the cooldown map suppresses repeats.
void BM_EvaluateRulesWithViolations(benchmark::State& state) {
    auto samples = QuietSamples();
    for (size_t i = 0; i < samples.size(); i += 10) {
        samples[i].ThreadCount = 600;
    }
    const RuleList rules = PresetRules(6);
    AlertCooldowns cooldowns;
    AlertEpisodes episodes;
    EvaluateRules(samples, rules, cooldowns, episodes, kBenchClock, nullptr);
    for (auto _ : state) {
        EvaluateRules(samples, rules, cooldowns, episodes, kBenchClock, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size() * rules.size()));
}
BENCHMARK(BM_EvaluateRulesWithViolations);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    {
        const auto samples = QuietSamples();
        const RuleList rules = PresetRules(6);
        AlertCooldowns cooldowns;
        AlertEpisodes episodes;
        const uint64_t before = allocationCount.load();
        EvaluateRules(samples, rules, cooldowns, episodes, kBenchClock, nullptr);
        std::printf("%zu samples x %zu preset rules: %zu matching quiet pairs, %llu heap allocations\n", samples.size(),
                    rules.size(), MatchingPairs(samples, rules),
                    static_cast<unsigned long long>(allocationCount.load() - before));
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i <= 6; ++i) {
        pairs.emplace_back("BM_EvaluateRules/" + std::to_string(i), "BM_BareComparisons/" + std::to_string(i));
    }
    reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return 0;
}
