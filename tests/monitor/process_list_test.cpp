#include <gtest/gtest.h>

#include <cstring>

#include "monitor/process_list.h"
#include "monitor/sample_selection.h"

namespace {

namespace Layout = ProcessListLayout;
constexpr uint64_t kBase = 0x7FF000000000;  // where the system "wrote" the list

template <typename Value>
void Put(std::vector<std::byte>& list, size_t at, Value value) {
    std::memcpy(list.data() + at, &value, sizeof(value));
}

// An entry per id, each followed by its name; the last name ends the buffer, unterminated.
std::vector<std::byte> List(const std::vector<std::pair<uint64_t, std::u16string>>& entries) {
    std::vector<std::byte> list;
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t at = list.size(), bytes = entries[i].second.size() * 2;
        list.resize(at + Layout::EntrySize + bytes);
        Put<uint32_t>(list, at, i + 1 < entries.size() ? Layout::EntrySize + ((bytes + 7) & ~size_t{7}) : 0);
        Put<uint64_t>(list, at + Layout::UniqueProcessId, entries[i].first);
        Put<uint16_t>(list, at + Layout::ImageNameLength, static_cast<uint16_t>(bytes));
        Put<uint64_t>(list, at + Layout::ImageNameBuffer, bytes ? kBase + at + Layout::EntrySize : 0);
        std::memcpy(list.data() + at + Layout::EntrySize, entries[i].second.data(), bytes);
        for (const size_t field : {Layout::NumberOfThreads, Layout::HandleCount}) {
            Put<uint32_t>(list, at + field, static_cast<uint32_t>(field + i));
        }
        for (const size_t field : {Layout::WorkingSetSize, Layout::PagefileUsage, Layout::KernelTime, Layout::UserTime,
                                   Layout::CreateTime}) {
            Put<uint64_t>(list, at + field, (uint64_t{field} << 32) + i);
        }
        list.resize(i + 1 < entries.size() ? (list.size() + 7) & ~size_t{7} : list.size());
    }
    return list;
}

}  // namespace

TEST(ProcessList, EntriesAreWalkedByOffsetAndNamesReadByLengthWithinTheBuffer) {
    std::vector<std::byte> list = List({{0, u""}, {4, u"System"}, {1234, u"app.exe"}, {77, u"\u00e9\u00e9.exe"}});
    std::vector<ProcessSample> samples;
    ASSERT_TRUE(ParseProcessList(list, kBase, samples));
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[0].ExeName, L"[System Process]");
    EXPECT_EQ(samples[1].ExeName, L"System");
    EXPECT_EQ(samples[3].ExeName, L"\u00e9\u00e9.exe");
    const ProcessSample& app = samples[2];
    EXPECT_EQ(app.ProcessId, 1234u);
    EXPECT_EQ(app.ExeName, L"app.exe");
    EXPECT_TRUE(app.ThreadCount == Layout::NumberOfThreads + 2 && app.HandleCount == Layout::HandleCount + 2);
    EXPECT_EQ(app.WorkingSetBytes, (uint64_t{Layout::WorkingSetSize} << 32) + 2);
    EXPECT_EQ(app.PrivateBytes, (uint64_t{Layout::PagefileUsage} << 32) + 2);
    EXPECT_EQ(app.KernelTime, (uint64_t{Layout::KernelTime} << 32) + 2);
    EXPECT_EQ(app.UserTime, (uint64_t{Layout::UserTime} << 32) + 2);
    EXPECT_EQ(app.CreationTime, (uint64_t{Layout::CreateTime} << 32) + 2);
    // Damage: a name one byte past the end or before the buffer, a step past the end or into its
    // own entry, a list cut inside an entry. Each fails whole and leaves the samples as they were.
    const size_t last = list.size() - Layout::EntrySize - 12;
    const auto damaged = [&](size_t at, auto value, size_t size) {
        std::vector<std::byte> copy = list;
        Put(copy, at, value);
        copy.resize(size);
        return !ParseProcessList(copy, kBase, samples) && samples.size() == 4;
    };
    EXPECT_TRUE(damaged(last + Layout::ImageNameLength, uint16_t{14}, list.size()));
    EXPECT_TRUE(damaged(last + Layout::ImageNameBuffer, kBase - 2, list.size()));
    EXPECT_TRUE(damaged(0, static_cast<uint32_t>(list.size()), list.size()));
    EXPECT_TRUE(damaged(0, uint32_t{Layout::EntrySize - 8}, list.size()));
    EXPECT_TRUE(damaged(0, uint32_t{0}, Layout::EntrySize - 1));
}

TEST(ProcessList, BufferGrowsToWhatTheQueryAsksUpToTheCap) {
    std::vector<std::byte> buffer;
    size_t used = 0, calls = 0;
    int32_t status = 0;
    // Asks for 1 MiB once, then writes 100 bytes.
    const auto growing = [&calls](void*, uint32_t size, uint32_t* needed) {
        *needed = ++calls == 1 ? 1u << 20 : 100;
        return *needed > size ? kStatusInfoLengthMismatch : 0;
    };
    ASSERT_EQ(QueryProcessList(growing, buffer, used, status), ProcessListResult::Filled);
    EXPECT_TRUE(calls == 2 && used == 100 && buffer.size() > (1u << 20));
    // Kept: the next pass needs one call.
    EXPECT_EQ(QueryProcessList(growing, buffer, used, status), ProcessListResult::Filled);
    EXPECT_EQ(calls, 3u);
    // Always a little more, or more than the cap at once: the query ends at the cap.
    for (const uint32_t extra : {1u, 1u << 30}) {
        const auto greedy = [&extra](void*, uint32_t size, uint32_t* needed) {
            *needed = size + extra;
            return kStatusInfoLengthMismatch;
        };
        EXPECT_EQ(QueryProcessList(greedy, buffer, used, status), ProcessListResult::TooLarge);
        EXPECT_LE(buffer.size(), kProcessListCap);
    }
    EXPECT_EQ(buffer.size(), kProcessListCap);
    const auto refusing = [](void*, uint32_t, uint32_t*) { return static_cast<int32_t>(0xC0000022); };
    EXPECT_EQ(QueryProcessList(refusing, buffer, used, status), ProcessListResult::Failed);
    EXPECT_EQ(status, static_cast<int32_t>(0xC0000022));
}

// Only a matching enabled rule with a GDI or USER limit makes a pass open a listed process.
TEST(SampleSelection, GuiCountsAreWantedOnlyForAMatchingEnabledRuleThatLimitsThem) {
    RuleList rules{{.ProcessPattern = L"app.*"},
                   {.ProcessPattern = L"other.exe", .MaxGDI = 5},
                   {.ProcessPattern = L"app.exe", .Enabled = false, .MaxUSER = 5}};
    bool wanted = true;
    EXPECT_EQ(DecideMeasurement({.ProcessId = 8, .ExeName = L"app.exe"}, rules, {}, &wanted), MeasureDecision::Measure);
    EXPECT_FALSE(wanted);
    rules.push_back({.ProcessPattern = L"*", .MaxUSER = 5});
    DecideMeasurement({.ProcessId = 8, .ExeName = L"app.exe"}, rules, {}, &wanted);
    EXPECT_TRUE(wanted);
    ProcessSample sample{8, L"app.exe", 3.0, 1, 2, 3, 4, 5, 6, 7, 8, 9, true};
    KeepSnapshotFieldsOnly(sample);
    EXPECT_TRUE(sample.ProcessId == 8 && sample.ExeName == L"app.exe" && sample.ThreadCount == 4 && sample.Excluded);
    EXPECT_EQ(sample.CpuPercent + sample.WorkingSetBytes + sample.PrivateBytes + sample.HandleCount +
                  sample.GdiObjects + sample.UserObjects + sample.KernelTime + sample.UserTime + sample.CreationTime,
              0.0);
}
