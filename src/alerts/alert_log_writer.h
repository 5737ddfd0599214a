#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "monitor/alert_record.h"
#include "base/file_io.h"

// Writes alert log lines on a thread of its own, so that a flood of alerts never holds up the
// thread that raised them: what has queued up is written as a batch, one open of the file per batch
// and one whole write per line. A line that cannot be written (a full disk) is taken back and
// stays first in the queue, tried again after retryDelay; no line is dropped.
class AlertLogWriter {
public:
    explicit AlertLogWriter(FileWrite write = WriteOnce,
                            std::chrono::milliseconds retryDelay = std::chrono::milliseconds(2000));
    ~AlertLogWriter() { Stop(); }
    AlertLogWriter(const AlertLogWriter&) = delete;
    AlertLogWriter& operator=(const AlertLogWriter&) = delete;

    void Add(const std::wstring& path, const AlertRecord& record);
    // Writes what is queued (a line that fails gets one more try) and ends the thread; a line added
    // later is written at once on the caller's thread.
    void Stop();
    // Lines not yet written.
    size_t Queued() const;

private:
    struct Line {
        std::wstring path;
        std::string text;
    };
    void Run();
    // Writes the batch in order, one open per run of lines to the same file; the number written.
    size_t WriteBatch(const std::deque<Line>& batch) const;

    const FileWrite write_;
    const std::chrono::milliseconds retryDelay_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Line> queue_;
    bool stopping_ = false;
    std::thread thread_;
};
