#include "monitor/process_history.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

HistoryPoint PointOf(const ProcessSample& sample, double timeSeconds) {
    return HistoryPoint{timeSeconds,         sample.CpuPercent,  sample.WorkingSetBytes, sample.PrivateBytes,
                        sample.HandleCount, sample.ThreadCount, sample.GdiObjects,      sample.UserObjects};
}

}  // namespace

size_t ProcessHistory::EntryBytes(const std::wstring& name) const {
    return sizeof(ProcessKey) + sizeof(Entry) + passes_ * sizeof(HistoryPoint) + (name.size() + 1) * sizeof(wchar_t);
}

bool ProcessHistory::MakeRoom(size_t bytes) {
    while (bytes_ + bytes > byteCap_) {
        auto oldest = entries_.end();
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->second.EndedSeconds != 0.0 &&
                (oldest == entries_.end() || entry->second.EndedSeconds < oldest->second.EndedSeconds)) {
                oldest = entry;
            }
        }
        if (oldest == entries_.end()) {
            return false;
        }
        bytes_ -= EntryBytes(oldest->second.ExeName);
        entries_.erase(oldest);
    }
    return true;
}

void ProcessHistory::Append(Entry& entry, const ProcessSample& sample, double timeSeconds) {
    entry.Seen = true;
    entry.EndedSeconds = 0.0;
    entry.Ring[entry.Next] = PointOf(sample, timeSeconds);
    entry.Next = (entry.Next + 1) % passes_;
    entry.Count = std::min(entry.Count + 1, passes_);
}

void ProcessHistory::Record(double timeSeconds, std::vector<ProcessSample> samples) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [key, entry] : entries_) {
        entry.Seen = false;
    }
    std::vector<const ProcessSample*> started;
    for (const ProcessSample& sample : samples) {
        if (sample.Excluded || passes_ == 0) {
            continue;
        }
        const auto found = entries_.find(ProcessKey{sample.ProcessId, sample.CreationTime});
        if (found == entries_.end()) {
            started.push_back(&sample);
        } else {
            Append(found->second, sample, timeSeconds);
        }
    }
    // Ended processes are marked before new ones are added, so that they can make room.
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        if (!entry->second.Seen && entry->second.EndedSeconds == 0.0) {
            entry->second.EndedSeconds = timeSeconds;
        }
        if (entry->second.EndedSeconds != 0.0 && timeSeconds - entry->second.EndedSeconds >= kEndedKeepSeconds) {
            bytes_ -= EntryBytes(entry->second.ExeName);
            entry = entries_.erase(entry);
        } else {
            ++entry;
        }
    }
    for (const ProcessSample* sample : started) {
        const size_t bytes = EntryBytes(sample->ExeName);
        if (MakeRoom(bytes)) {
            bytes_ += bytes;
            Entry& entry = entries_[ProcessKey{sample->ProcessId, sample->CreationTime}];
            entry.ExeName = sample->ExeName;
            entry.Ring.resize(passes_);
            Append(entry, *sample, timeSeconds);
        }
    }
    lastPass_ = std::move(samples);
    ++passCount_;
}

std::vector<ProcessSample> ProcessHistory::LastPass(uint64_t* passCount) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (passCount != nullptr) {
        *passCount = passCount_;
    }
    return lastPass_;
}

uint64_t ProcessHistory::PassCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return passCount_;
}

bool ProcessHistory::Track(const ProcessKey& key, ProcessTrack& track) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end()) {
        return false;
    }
    const Entry& entry = found->second;
    track = ProcessTrack{key, entry.ExeName, entry.EndedSeconds, {}};
    track.Points.reserve(entry.Count);
    for (size_t i = 0; i < entry.Count; ++i) {
        track.Points.push_back(entry.Ring[(entry.Next + passes_ - entry.Count + i) % passes_]);
    }
    return true;
}

bool ProcessHistory::LatestWithId(uint32_t processId, ProcessKey& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto first = entries_.lower_bound(ProcessKey{processId, 0});
    const auto end = processId == UINT32_MAX ? entries_.end() : entries_.lower_bound(ProcessKey{processId + 1, 0});
    if (first == end) {
        return false;
    }
    key = std::prev(end)->first;
    return true;
}

size_t ProcessHistory::Bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

size_t ProcessHistory::ProcessCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}
