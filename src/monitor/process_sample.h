#pragma once

#include <cstdint>
#include <string>

// One process's counters in one pass. Only ProcessId, ExeName and ThreadCount come from the
// snapshot; the rest stays 0 unless the process was opened and measured.
struct ProcessSample {
    uint32_t ProcessId = 0;
    std::wstring ExeName{};
    double CpuPercent = 0.0;
    uint64_t WorkingSetBytes = 0;
    uint64_t PrivateBytes = 0;
    uint32_t HandleCount = 0;
    uint32_t ThreadCount = 0;
    uint32_t GdiObjects = 0;
    uint32_t UserObjects = 0;
    uint64_t KernelTime = 0;
    uint64_t UserTime = 0;
    uint64_t CreationTime = 0;
    // The name matched an exclusion: the user asked for no alert of any kind for this process.
    bool Excluded = false;
};
