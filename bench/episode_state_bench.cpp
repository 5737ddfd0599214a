#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "monitor/rule_evaluation.h"
#include "settings/alert_actions.h"

// The per-pair state of the evaluation (cooldowns and episodes) over 10,000 passes five seconds
// apart (nearly 14 hours), 2,000 rules and 300 processes, of which 3 end and 3 start at every pass,
// identifiers reused. Thread counts swing across the limits, so episodes start, alert and end all
// the time. The reference is the number of pairs over their limits in the pass: what any evaluation
// that remembers a running violation must hold at least.
namespace {

constexpr size_t kRules = 2000;
constexpr size_t kProcesses = 300;
constexpr size_t kPasses = 10000;
constexpr uint32_t kNames = 100;

uint64_t benchTick = 0;
const MonitorClock kBenchClock{[] { return benchTick; }, [] { return AlertTime{}; }};

class CountingSink final : public IAlertSink {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        ++(record.Recovery ? recoveries : alerts);
        return 1;
    }
    uint64_t alerts = 0;
    uint64_t recoveries = 0;
};

std::wstring Name(uint32_t index) {
    return static_cast<wchar_t>(L'a' + index % 26) + std::to_wstring(index) + L".exe";
}

RuleList Rules() {
    RuleList rules;
    for (uint32_t i = 0; i < kRules; ++i) {
        ThresholdRule rule{.RuleId = i + 1, .ProcessPattern = Name(i % kNames), .MaxThreads = 60 + i % 7 * 5};
        rule.SustainSec = i % 4 * 5;
        rule.CooldownSec = i % 3 * 30;
        rule.AlertActions |= i % 2 == 0 ? kActionNotifyBackUnder : 0;
        rules.push_back(rule);
    }
    return rules;
}

struct StateFigures {
    size_t cooldowns = 0;
    size_t episodes = 0;
    size_t violatingPairs = 0;
};

size_t ViolatingPairs(const std::vector<ProcessSample>& samples, const RuleList& rules) {
    size_t pairs = 0;
    for (const ProcessSample& sample : samples) {
        for (const ThresholdRule& rule : rules) {
            pairs += sample.ExeName == rule.ProcessPattern && ExceededLimits(sample, rule) != 0;
        }
    }
    return pairs;
}

void PrintFigures(size_t pass, const StateFigures& f) {
    // A map node holds the key and value plus three pointers and a colour.
    const size_t cooldownBytes = f.cooldowns * (sizeof(CooldownKey) + sizeof(CooldownEntry) + 32);
    const size_t episodeBytes = f.episodes * (sizeof(CooldownKey) + sizeof(AlertEpisode) + 32);
    std::printf(
        "after %5zu passes: %5zu cooldowns (~%zu KiB), %5zu episodes (~%zu KiB); %5zu pairs over their "
        "limits; episodes / pairs over = %.3f\n",
        pass, f.cooldowns, cooldownBytes / 1024, f.episodes, episodeBytes / 1024, f.violatingPairs,
        f.violatingPairs == 0 ? 0.0 : static_cast<double>(f.episodes) / static_cast<double>(f.violatingPairs));
}

void BM_EpisodeStateOverTenThousandPasses(benchmark::State& state) {
    const RuleList rules = Rules();
    StateFigures atThousand, atEnd;
    size_t peak = 0;
    CountingSink sink;
    for (auto _ : state) {
        AlertCooldowns cooldowns;
        AlertEpisodes episodes;
        std::vector<ProcessSample> samples(kProcesses);
        uint32_t nextPid = 4;
        uint64_t created = 1;
        auto start = [&](ProcessSample& sample, size_t slot) {
            nextPid = nextPid % 4000 + 4;  // identifiers come back, with new creation times
            sample = {.ProcessId = nextPid, .ExeName = Name(static_cast<uint32_t>(slot) % kNames)};
            sample.CreationTime = created++;
        };
        for (size_t slot = 0; slot < kProcesses; ++slot) {
            start(samples[slot], slot);
        }
        for (size_t pass = 1; pass <= kPasses; ++pass) {
            for (size_t ended = 0; ended < 3; ++ended) {
                const size_t slot = (pass * 7 + ended * 101) % kProcesses;
                start(samples[slot], slot + pass);
            }
            for (size_t slot = 0; slot < kProcesses; ++slot) {
                samples[slot].ThreadCount = 40 + static_cast<uint32_t>((pass * (slot % 5 + 1) + slot * 13) % 60);
            }
            benchTick += 5000;
            EvaluateRules(samples, rules, cooldowns, episodes, kBenchClock, &sink);
            PruneCooldowns(cooldowns, samples);
            peak = std::max(peak, cooldowns.size() + episodes.size());
            if (pass == 100 || pass == 1000 || pass == kPasses) {
                state.PauseTiming();
                StateFigures figures{cooldowns.size(), episodes.size(), ViolatingPairs(samples, rules)};
                PrintFigures(pass, figures);
                (pass == 1000 ? atThousand : atEnd) = figures;
                state.ResumeTiming();
            }
        }
    }
    std::printf(
        "state after %zu passes / after 1000: %.3f; largest after any pass: %zu entries; %llu alerts, "
        "%llu recoveries\n",
        kPasses,
        static_cast<double>(atEnd.cooldowns + atEnd.episodes) /
            static_cast<double>(atThousand.cooldowns + atThousand.episodes),
        peak, static_cast<unsigned long long>(sink.alerts), static_cast<unsigned long long>(sink.recoveries));
    state.counters["episodes"] = static_cast<double>(atEnd.episodes);
    state.counters["cooldowns"] = static_cast<double>(atEnd.cooldowns);
    state.counters["passes"] = static_cast<double>(kPasses);
}
BENCHMARK(BM_EpisodeStateOverTenThousandPasses)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
