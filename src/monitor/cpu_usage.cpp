#include "monitor/cpu_usage.h"

#include <algorithm>

namespace {

// Process times are in 100 ns units, ticks in milliseconds.
constexpr double kTimeUnitsPerMs = 10000.0;

double CpuPercentSince(const ProcessSample& sample, const CpuHistoryEntry& previous, uint64_t now,
                       uint32_t processorCount) {
    const uint64_t busy = (sample.KernelTime - previous.KernelTime) + (sample.UserTime - previous.UserTime);
    const uint64_t elapsedMs = now - previous.SampleTick;
    const double percent =
        static_cast<double>(busy) / (processorCount * (static_cast<double>(elapsedMs) * kTimeUnitsPerMs)) * 100.0;
    return std::clamp(percent, 0.0, 100.0);
}

}  // namespace

void UpdateCpuUsage(std::vector<ProcessSample>& samples, CpuHistory& cpuHistory, uint64_t now,
                    uint32_t processorCount) {
    std::vector<uint32_t> seen;
    seen.reserve(samples.size());
    for (ProcessSample& sample : samples) {
        seen.push_back(sample.ProcessId);
        // Unmeasured (or truly idle): keep whatever history the process has.
        if (sample.KernelTime == 0 && sample.UserTime == 0) {
            continue;
        }
        auto entry = cpuHistory.find(sample.ProcessId);
        if (entry != cpuHistory.end() && entry->second.CreationTime != sample.CreationTime) {
            // The identifier now belongs to another process; the old times mean nothing to it.
            cpuHistory.erase(entry);
            entry = cpuHistory.end();
        }
        if (entry != cpuHistory.end() && now != entry->second.SampleTick) {
            sample.CpuPercent = CpuPercentSince(sample, entry->second, now, processorCount);
        }
        cpuHistory.insert_or_assign(sample.ProcessId,
                                    CpuHistoryEntry{sample.KernelTime, sample.UserTime, sample.CreationTime, now});
    }
    std::sort(seen.begin(), seen.end());
    std::erase_if(cpuHistory,
                  [&seen](const auto& item) { return !std::binary_search(seen.begin(), seen.end(), item.first); });
}
