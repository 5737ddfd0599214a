#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/process_sample.h"

// A process across passes: identifiers are reused, so the creation time tells two apart.
struct ProcessKey {
    uint32_t ProcessId = 0;
    uint64_t CreationTime = 0;
    auto operator<=>(const ProcessKey&) const = default;
};

// One pass's counters of one process, every value as the pass measured it.
struct HistoryPoint {
    double TimeSeconds = 0.0;
    double CpuPercent = 0.0;
    uint64_t WorkingSetBytes = 0;
    uint64_t PrivateBytes = 0;
    uint32_t HandleCount = 0;
    uint32_t ThreadCount = 0;
    uint32_t GdiObjects = 0;
    uint32_t UserObjects = 0;
};

// A copy of one process's kept history, oldest point first; EndedSeconds is 0 while it runs.
struct ProcessTrack {
    ProcessKey Key{};
    std::wstring ExeName{};
    double EndedSeconds = 0.0;
    std::vector<HistoryPoint> Points{};
};

// An hour at a 5-second interval (six at the default 30 s); shorter intervals keep 720 passes.
inline constexpr size_t kHistoryPasses = 720;
// A process that ended stays this long, so an alert about it can still be looked at.
inline constexpr double kEndedKeepSeconds = 600.0;
inline constexpr size_t kHistoryByteCap = size_t{16} << 20;

// The counters of every measured process over the last passes, written by the monitor thread at
// the end of each pass and copied by the UI under a lock held only to copy.
class ProcessHistory {
public:
    explicit ProcessHistory(size_t passes = kHistoryPasses, size_t byteCap = kHistoryByteCap)
        : passes_(passes), byteCap_(byteCap) {}

    // One pass at Unix time `timeSeconds`: a point for every sample not excluded; processes no
    // longer listed are marked ended, and dropped kEndedKeepSeconds later. A new process that
    // would pass the byte cap first evicts the processes that ended longest ago; when none is
    // left it is not kept. The samples are kept as the last pass.
    void Record(double timeSeconds, std::vector<ProcessSample> samples);

    // The last pass's samples (excluded ones too) and the number of passes recorded so far.
    std::vector<ProcessSample> LastPass(uint64_t* passCount = nullptr) const;
    uint64_t PassCount() const;
    // False, and `track` untouched, when the process has no kept history.
    bool Track(const ProcessKey& key, ProcessTrack& track) const;
    // The most recently started kept process with this identifier.
    bool LatestWithId(uint32_t processId, ProcessKey& key) const;
    // What the kept history occupies, rings reserved whole.
    size_t Bytes() const;
    size_t ProcessCount() const;

private:
    struct Entry {
        std::wstring ExeName;
        double EndedSeconds = 0.0;
        bool Seen = false;
        size_t Next = 0;
        size_t Count = 0;
        std::vector<HistoryPoint> Ring;
    };
    size_t EntryBytes(const std::wstring& name) const;
    void Append(Entry& entry, const ProcessSample& sample, double timeSeconds);
    bool MakeRoom(size_t bytes);

    const size_t passes_;
    const size_t byteCap_;
    mutable std::mutex mutex_;
    std::map<ProcessKey, Entry> entries_;
    size_t bytes_ = 0;
    uint64_t passCount_ = 0;
    std::vector<ProcessSample> lastPass_;
};
