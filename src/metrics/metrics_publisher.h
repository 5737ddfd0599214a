#pragma once

#include <mutex>
#include <string>

#include "base/shared_value.h"
#include "metrics/metrics_text.h"
#include "monitor/pass_report.h"
#include "settings/app_settings.h"

// Rewrites the metrics file named by the MetricsFilePath setting after every turn of the monitor,
// through a temporary file in the same folder (its name does not end in ".prom", so a collector
// never reads it) moved over the old one. A failure is traced once per streak, kept in lastError
// (empty while the file is written) and retried at the next turn. The file written last is removed when the setting is
// cleared or changed, and by Close.
class MetricsPublisher : public IPassObserver {
public:
    MetricsPublisher(const AppSettings* settings, SharedValue<std::wstring>* lastError)
        : settings_(settings), lastError_(lastError) {}

    void OnPass(const PassReport& report) override;
    // At the end of the program: a file left behind would show a stopped machine as running.
    // Later turns write nothing.
    void Close();

private:
    void Fail(const std::wstring& path, const std::wstring& reason);

    const AppSettings* settings_;
    SharedValue<std::wstring>* lastError_;
    // Held by each turn and by Close, which may run while a late turn is still going.
    std::mutex mutex_;
    MetricsText text_;
    std::wstring writtenPath_;
    std::wstring failingPath_;
    bool closed_ = false;
};
