#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "monitor/process_sample.h"

// The system's list of every process with its counters (SystemProcessInformation), read without
// opening any process. Offsets are those of the x64 entry; the name is a UNICODE_STRING whose
// buffer is an absolute address inside the list.
namespace ProcessListLayout {
inline constexpr size_t NextEntryOffset = 0x00;
inline constexpr size_t NumberOfThreads = 0x04;
inline constexpr size_t CreateTime = 0x20;
inline constexpr size_t UserTime = 0x28;
inline constexpr size_t KernelTime = 0x30;
inline constexpr size_t ImageNameLength = 0x38;
inline constexpr size_t ImageNameBuffer = 0x40;
inline constexpr size_t UniqueProcessId = 0x50;
inline constexpr size_t HandleCount = 0x60;
inline constexpr size_t WorkingSetSize = 0x90;
inline constexpr size_t PagefileUsage = 0xB8;
inline constexpr size_t EntrySize = 0x100;
}  // namespace ProcessListLayout

// The answer a list that did not fit gets; any other negative status is a failure.
inline constexpr int32_t kStatusInfoLengthMismatch = static_cast<int32_t>(0xC0000004);
// No real system lists this much; past it a pass fails rather than grow on.
inline constexpr size_t kProcessListCap = size_t{64} << 20;

// Fills `buffer` of `size` bytes with the list and sets `needed` to the bytes written, or wanted
// when it did not fit; returns the system's status.
using ProcessListQuery = std::function<int32_t(void* buffer, uint32_t size, uint32_t* needed)>;

enum class ProcessListResult { Filled, TooLarge, Failed };

// Runs the query into `buffer`, which the caller keeps between passes: while the list does not fit,
// grows it to what the query asks for plus room, never past kProcessListCap. On Filled, `used` is
// the byte count written; on Failed, `status` is the query's answer.
ProcessListResult QueryProcessList(const ProcessListQuery& query, std::vector<std::byte>& buffer, size_t& used,
                                   int32_t& status);

// One sample per entry, in list order, with every counter the list has: threads, handles, working
// set, the commit charge as private bytes, kernel, user and creation times. `baseAddress` is where
// the buffer lay when the list was written. False, and `samples` untouched, when an entry or a
// name lies outside the buffer.
bool ParseProcessList(std::span<const std::byte> buffer, uint64_t baseAddress, std::vector<ProcessSample>& samples);
