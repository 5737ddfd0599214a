#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "ratio_reporter.h"
#include "rules/wildcard_match.h"

namespace {

struct Case {
    std::wstring name, pattern;
    std::string narrowName, narrowPattern;
};

// Process names as a snapshot reports them, against the kinds of patterns users write.
std::vector<Case> MakeCases() {
    const std::vector<std::wstring> names = {L"chrome.exe",
                                             L"svchost.exe",
                                             L"explorer.exe",
                                             L"RuntimeBroker.exe",
                                             L"MsMpEng.exe",
                                             L"SearchIndexer.exe",
                                             L"Code.exe",
                                             L"devenv.exe",
                                             L"msedgewebview2.exe",
                                             L"System",
                                             L"conhost.exe",
                                             L"WmiPrvSE.exe",
                                             L"dllhost.exe",
                                             L"backgroundTaskHost.exe",
                                             L"a.very.long.process.name.with.many.dots.exe",
                                             L"Teams.exe"};
    const std::vector<std::wstring> patterns = {
        L"*",       L"chrome.exe",  L"CHROME.EXE", L"*.exe",      L"svc*",      L"*host*.exe", L"?????.exe",
        L"*a*b*c*", L"msedge*.exe", L"*Broker*",   L"dev?nv.exe", L"*.*.*.exe", L"*x*y*z"};
    std::vector<Case> cases;
    int disagreements = 0;
    for (const auto& pattern : patterns) {
        for (const auto& name : names) {
            Case c{name, pattern, WideToUtf8(name), WideToUtf8(pattern)};
            const bool ours = WildcardMatch(name.c_str(), pattern.c_str());
            const bool theirs = fnmatch(c.narrowPattern.c_str(), c.narrowName.c_str(), FNM_CASEFOLD) == 0;
            if (ours == theirs) {
                cases.push_back(std::move(c));
            } else {
                ++disagreements;
            }
        }
    }
    std::printf("%zu name/pattern pairs (%d pairs where the two disagree left out)\n", cases.size(), disagreements);
    return cases;
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = MakeCases();
    return cases;
}

void BM_WildcardMatch(benchmark::State& state) {
    const auto& cases = Cases();
    for (auto _ : state) {
        int matches = 0;
        for (const Case& c : cases) {
            matches += WildcardMatch(c.name.c_str(), c.pattern.c_str());
        }
        benchmark::DoNotOptimize(matches);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cases.size()));
}
BENCHMARK(BM_WildcardMatch);

void BM_Fnmatch(benchmark::State& state) {
    const auto& cases = Cases();
    for (auto _ : state) {
        int matches = 0;
        for (const Case& c : cases) {
            matches += fnmatch(c.narrowPattern.c_str(), c.narrowName.c_str(), FNM_CASEFOLD) == 0;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cases.size()));
}
BENCHMARK(BM_Fnmatch);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Cases();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios({{"BM_WildcardMatch", "BM_Fnmatch"}});
    benchmark::Shutdown();
    return 0;
}
