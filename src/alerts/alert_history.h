#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "monitor/alert_record.h"

inline constexpr size_t kAlertHistoryMax = 1000;

// The recent alerts, oldest first, never more than kAlertHistoryMax: adding beyond it drops the
// oldest, and a longer list put in keeps its newest records.
class AlertHistory {
public:
    void Append(const AlertRecord& record);
    void Replace(std::vector<AlertRecord> records);
    void Clear();
    size_t Count() const { return records_.size(); }
    // position 0 is the oldest record; position < Count().
    const AlertRecord& At(size_t position) const { return records_[position]; }
    std::vector<AlertRecord> Copy() const { return {records_.begin(), records_.end()}; }
    // Counts every change, so a reader sees one even at the cap, where the count stays the same.
    uint64_t Changes() const { return changes_; }

private:
    std::deque<AlertRecord> records_;
    uint64_t changes_ = 0;
};

// The recent alerts shared by the threads that add, show and clear them; reached only through
// AlertHistoryLock.
class AlertHistoryStore {
private:
    friend class AlertHistoryLock;
    std::mutex mutex_;
    AlertHistory history_;
};

// Holds the store's lock while it lives and is the only way to its history, reached through ->
// (a dialog reads Count and At, or writes its CSV export, under one lock). Keep it for the
// operation only, and never wait for another thread while holding it.
class AlertHistoryLock {
public:
    explicit AlertHistoryLock(AlertHistoryStore& store);
    AlertHistory* operator->() const { return history_; }
    AlertHistory& operator*() const { return *history_; }

private:
    std::unique_lock<std::mutex> lock_;
    AlertHistory* history_;
};

// Each takes the lock for its own work only.
void AppendAlertHistory(AlertHistoryStore& store, const AlertRecord& record);
std::vector<AlertRecord> CopyAlertHistory(AlertHistoryStore& store);

// Replaces the history with the newest records of the log file at logPath; an empty path or a
// file that cannot be read leaves the history as it is.
void LoadAlertLog(AlertHistoryStore& store, const std::wstring& logPath);

// Empties the history, then deletes the log file at logPath, or empties it when it cannot be
// deleted. False when the file is left with its old alerts, which the next start would read back.
bool ClearAlertHistory(AlertHistoryStore& store, const std::wstring& logPath);
