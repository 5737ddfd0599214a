#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "monitor/process_sample.h"

// Times of a process at the last pass that measured it, to difference against the next one.
struct CpuHistoryEntry {
    uint64_t KernelTime = 0;
    uint64_t UserTime = 0;
    uint64_t CreationTime = 0;
    uint64_t SampleTick = 0;
};

using CpuHistory = std::unordered_map<uint32_t, CpuHistoryEntry>;

// Sets CpuPercent (0 to 100 of all processors) of every measured sample that has an earlier
// measurement of the same process, then records this pass's times under the tick `now`
// (milliseconds) and forgets identifiers that are no longer in the list.
void UpdateCpuUsage(std::vector<ProcessSample>& samples, CpuHistory& cpuHistory, uint64_t now, uint32_t processorCount);
