#include <gtest/gtest.h>

#include <cstring>

#include "monitor/process_list.h"

namespace L = ProcessListLayout;
constexpr uint64_t kBase = 0x7FF000000000;  // where the system "wrote" the list

template <typename Value>
void Put(std::vector<std::byte>& list, size_t at, Value value) {
    std::memcpy(list.data() + at, &value, sizeof(value));
}

// Entries each followed by its name, the last one unterminated at the very end of the buffer.
std::vector<std::byte> List(const std::vector<std::pair<uint64_t, std::u16string>>& entries) {
    std::vector<std::byte> list;
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t at = (list.size() + 7) & ~size_t{7}, bytes = entries[i].second.size() * 2;
        list.resize(at + L::EntrySize + bytes);
        Put<uint32_t>(list, at, i + 1 == entries.size() ? 0 : L::EntrySize + ((bytes + 7) & ~size_t{7}));
        Put(list, at + L::UniqueProcessId, entries[i].first);
        Put(list, at + L::ImageNameLength, static_cast<uint16_t>(bytes));
        Put(list, at + L::ImageNameBuffer, bytes ? kBase + at + L::EntrySize : 0);
        std::memcpy(list.data() + at + L::EntrySize, entries[i].second.data(), bytes);
        Put(list, at + L::CreateTime, uint64_t{i + 1} << 40);
    }
    return list;
}

TEST(ProcessList, EntriesAreWalkedByOffsetAndNamesReadByLengthWithinTheBuffer) {
    const std::vector<std::byte> list = List({{0, u""}, {4, u""}, {1234, u"\u00e9.exe"}});
    std::vector<ProcessSample> samples;
    ASSERT_TRUE(ParseProcessList(list, kBase, samples) && samples.size() == 3);
    EXPECT_EQ(samples[0].ExeName + L"|" + samples[1].ExeName + L"|" + samples[2].ExeName,
              L"[System Process]|System|\u00e9.exe");
    EXPECT_TRUE(samples[2].ProcessId == 1234 && samples[2].CreationTime == uint64_t{3} << 40);
    // The last name one unit longer or before the buffer, a step past the end or into its own
    // entry, a list cut inside an entry: each fails whole and leaves the samples as they were.
    const auto damaged = [&](size_t at, auto value, size_t size) {
        std::vector<std::byte> copy = list;
        Put(copy, at, value);
        copy.resize(size);
        return !ParseProcessList(copy, kBase, samples) && samples.size() == 3;
    };
    EXPECT_TRUE(damaged(list.size() - 10 - L::EntrySize + L::ImageNameLength, uint16_t{12}, list.size()));
    EXPECT_TRUE(damaged(list.size() - 10 - L::EntrySize + L::ImageNameBuffer, kBase - 2, list.size()));
    EXPECT_TRUE(damaged(0, static_cast<uint32_t>(list.size()), list.size()));
    EXPECT_TRUE(damaged(0, uint32_t{L::EntrySize - 8}, list.size()));
    EXPECT_TRUE(damaged(0, uint32_t{0}, L::EntrySize - 1));
}

TEST(ProcessList, BufferGrowsToWhatTheQueryAsksAndIsKeptUpToTheCap) {
    std::vector<std::byte> buffer;
    size_t used = 0, calls = 0;
    int32_t status = 0;
    uint32_t extra = 0;  // a greedy query asks for this much more than it was given, every time
    const auto query = [&](void*, uint32_t size, uint32_t* needed) {
        *needed = extra ? size + extra : ++calls == 1 ? 1u << 20 : 100;
        return *needed > size ? kStatusInfoLengthMismatch : calls > 3 ? static_cast<int32_t>(0xC0000022) : 0;
    };
    EXPECT_EQ(QueryProcessList(query, buffer, used, status), ProcessListResult::Filled);
    EXPECT_EQ(QueryProcessList(query, buffer, used, status), ProcessListResult::Filled);
    EXPECT_TRUE(calls == 3 && used == 100 && buffer.size() > (1u << 20));
    for (extra = 1; extra != 0; extra <<= 30) {  // 1, then 2^30
        EXPECT_EQ(QueryProcessList(query, buffer, used, status), ProcessListResult::TooLarge);
        EXPECT_EQ(buffer.size(), kProcessListCap);
    }
    EXPECT_TRUE(QueryProcessList(query, buffer, used, status) == ProcessListResult::Failed &&
                status == static_cast<int32_t>(0xC0000022));
}
