#include "monitor/process_list.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/utf8.h"

namespace {

namespace Layout = ProcessListLayout;

// Enough for a desktop's processes at the first pass; later passes reuse what was grown.
constexpr size_t kFirstSize = size_t{256} << 10;
// Processes start between the query that sized the list and the one that fills it.
constexpr size_t kRoom = size_t{64} << 10;

template <typename Value>
Value ReadAt(std::span<const std::byte> buffer, size_t offset) {
    Value value;
    std::memcpy(&value, buffer.data() + offset, sizeof(value));
    return value;
}

// The name is read by its length alone: the list does not promise a terminator.
bool ReadImageName(std::span<const std::byte> buffer, size_t entry, uint64_t baseAddress, std::wstring& name) {
    const size_t bytes = ReadAt<uint16_t>(buffer, entry + Layout::ImageNameLength) & ~size_t{1};
    if (bytes == 0) {
        name.clear();
        return true;
    }
    const uint64_t address = ReadAt<uint64_t>(buffer, entry + Layout::ImageNameBuffer);
    if (address < baseAddress || address - baseAddress > buffer.size() ||
        bytes > buffer.size() - (address - baseAddress)) {
        return false;
    }
    std::u16string units(bytes / 2, u'\0');
    std::memcpy(units.data(), buffer.data() + (address - baseAddress), bytes);
    name = Utf16ToWide(units);
    return true;
}

// The idle and system processes carry no usable image name; they keep the names the toolhelp
// snapshot gives them.
void NamePseudoProcess(ProcessSample& sample) {
    if (sample.ProcessId == 0) {
        sample.ExeName = L"[System Process]";
    } else if (sample.ProcessId == 4) {
        sample.ExeName = L"System";
    }
}

}  // namespace

ProcessListResult QueryProcessList(const ProcessListQuery& query, std::vector<std::byte>& buffer, size_t& used,
                                   int32_t& status) {
    if (buffer.empty()) {
        buffer.resize(kFirstSize);
    }
    for (;;) {
        uint32_t needed = 0;
        const int32_t answer = query(buffer.data(), static_cast<uint32_t>(buffer.size()), &needed);
        if (answer >= 0) {
            used = needed == 0 || needed > buffer.size() ? buffer.size() : needed;
            return ProcessListResult::Filled;
        }
        if (answer != kStatusInfoLengthMismatch) {
            status = answer;
            return ProcessListResult::Failed;
        }
        if (needed > kProcessListCap || buffer.size() >= kProcessListCap) {
            return ProcessListResult::TooLarge;
        }
        // Grows every round, so the cap ends a query that keeps asking for more.
        const size_t wanted = needed > buffer.size() ? needed + kRoom : buffer.size() * 2;
        buffer.resize(std::min(wanted, kProcessListCap));
    }
}

bool ParseProcessList(std::span<const std::byte> buffer, uint64_t baseAddress, std::vector<ProcessSample>& samples) {
    std::vector<ProcessSample> parsed;
    for (size_t entry = 0;;) {
        if (buffer.size() < Layout::EntrySize || entry > buffer.size() - Layout::EntrySize) {
            return false;
        }
        ProcessSample& sample = parsed.emplace_back();
        sample.ProcessId = static_cast<uint32_t>(ReadAt<uint64_t>(buffer, entry + Layout::UniqueProcessId));
        if (!ReadImageName(buffer, entry, baseAddress, sample.ExeName)) {
            return false;
        }
        NamePseudoProcess(sample);
        sample.ThreadCount = ReadAt<uint32_t>(buffer, entry + Layout::NumberOfThreads);
        sample.HandleCount = ReadAt<uint32_t>(buffer, entry + Layout::HandleCount);
        sample.WorkingSetBytes = ReadAt<uint64_t>(buffer, entry + Layout::WorkingSetSize);
        sample.PrivateBytes = ReadAt<uint64_t>(buffer, entry + Layout::PagefileUsage);
        sample.KernelTime = ReadAt<uint64_t>(buffer, entry + Layout::KernelTime);
        sample.UserTime = ReadAt<uint64_t>(buffer, entry + Layout::UserTime);
        sample.CreationTime = ReadAt<uint64_t>(buffer, entry + Layout::CreateTime);
        const uint32_t next = ReadAt<uint32_t>(buffer, entry + Layout::NextEntryOffset);
        if (next == 0) {
            break;
        }
        // Entries never overlap; a shorter step means the list is not what it claims to be.
        if (next < Layout::EntrySize) {
            return false;
        }
        entry += next;
    }
    samples.swap(parsed);
    return true;
}
