#include "alerts/alert_history.h"

#include <utility>

#include "alerts/alert_log.h"
#include "settings/app_settings.h"
#include "base/file_io.h"

AlertHistoryStore& ProcessAlertHistoryStore() {
    static AlertHistoryStore store;
    return store;
}

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

AlertHistoryLock::AlertHistoryLock() : AlertHistoryLock(ProcessAlertHistoryStore()) {}

void AppendAlertHistory(const AlertRecord& record) {
    AlertHistoryLock history;
    history->Append(record);
}

std::vector<AlertRecord> CopyAlertHistory() {
    AlertHistoryLock history;
    return history->Copy();
}

void LoadAlertLog() {
    const std::wstring path = appSettings.LogFilePath.Get();
    std::vector<AlertRecord> records;
    if (path.empty() || !ReadAlertLogTail(path, kAlertHistoryMax, records)) {
        return;
    }
    AlertHistoryLock history;
    history->Replace(std::move(records));
}

bool ClearAlertHistory() {
    {
        AlertHistoryLock history;
        history->Clear();
    }
    const std::wstring path = appSettings.LogFilePath.Get();
    // A file held open elsewhere (a viewer, or the line being logged right now) cannot be deleted
    // but can still be emptied.
    return path.empty() || RemoveFileIfPresent(path) || WriteFileBytes(path, {});
}
