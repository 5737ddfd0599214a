#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Console output as usual, then "ours vs reference" ratios of mean time per iteration,
// measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) {
                continue;
            }
            nanosPerIteration_[run.benchmark_name()] = run.GetAdjustedRealTime() * Multiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints each pair as: ours, reference, ratio (ours / reference; below 1 means faster).
    void PrintRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\n%-44s %14s %14s %8s\n", "ours vs reference", "ours ns", "reference ns", "ratio");
        for (const auto& [ours, reference] : pairs) {
            const auto a = nanosPerIteration_.find(ours);
            const auto b = nanosPerIteration_.find(reference);
            if (a == nanosPerIteration_.end() || b == nanosPerIteration_.end() || b->second == 0) {
                continue;
            }
            std::printf("%-44s %14.1f %14.1f %8.3f\n", (ours + " / " + reference).c_str(), a->second, b->second,
                        a->second / b->second);
        }
    }

private:
    static double Multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1.0;
        }
    }
    std::map<std::string, double> nanosPerIteration_;
};
