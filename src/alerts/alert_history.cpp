#include "alerts/alert_history.h"

#include <utility>

#include "alerts/alert_log.h"
#include "base/file_io.h"

void AlertHistory::Append(const AlertRecord& record) {
    if (records_.size() >= kAlertHistoryMax) {
        records_.pop_front();
    }
    records_.push_back(record);
    ++changes_;
}

void AlertHistory::Replace(std::vector<AlertRecord> records) {
    const size_t skip = records.size() > kAlertHistoryMax ? records.size() - kAlertHistoryMax : 0;
    records_.assign(std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(skip)),
                    std::make_move_iterator(records.end()));
    ++changes_;
}

void AlertHistory::Clear() {
    records_.clear();
    ++changes_;
}

AlertHistoryLock::AlertHistoryLock(AlertHistoryStore& store) : lock_(store.mutex_), history_(&store.history_) {}

void AppendAlertHistory(AlertHistoryStore& store, const AlertRecord& record) {
    AlertHistoryLock history(store);
    history->Append(record);
}

std::vector<AlertRecord> CopyAlertHistory(AlertHistoryStore& store) {
    AlertHistoryLock history(store);
    return history->Copy();
}

void LoadAlertLog(AlertHistoryStore& store, const std::wstring& logPath) {
    std::vector<AlertRecord> records;
    if (logPath.empty() || !ReadAlertLogTail(logPath, kAlertHistoryMax, records)) {
        return;
    }
    AlertHistoryLock history(store);
    history->Replace(std::move(records));
}

bool ClearAlertHistory(AlertHistoryStore& store, const std::wstring& logPath) {
    {
        AlertHistoryLock history(store);
        history->Clear();
    }
    // A file held open elsewhere (a viewer, or the line being logged right now) cannot be deleted
    // but can still be emptied.
    return logPath.empty() || RemoveFileIfPresent(logPath) || WriteFileBytes(logPath, {});
}
