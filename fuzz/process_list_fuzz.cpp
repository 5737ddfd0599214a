#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_targets.h"
#include "monitor/process_list.h"

// Any bytes as a process list written at a fixed address: the walk stays inside the buffer, every
// name fits in it, and a failed parse leaves the samples as they were.
bool ProcessListFuzz(const uint8_t* data, size_t size) {
    constexpr uint64_t kBase = 0x10000;
    const std::span<const std::byte> list(reinterpret_cast<const std::byte*>(data), size);
    std::vector<ProcessSample> samples(1);
    if (!ParseProcessList(list, kBase, samples)) {
        return samples.size() == 1;
    }
    for (const ProcessSample& sample : samples) {
        if (samples.size() > size / ProcessListLayout::EntrySize || sample.ExeName.size() > size / 2 + 16) {
            return false;
        }
    }
    return true;
}
