#include "alerts/alert_log_writer.h"

#include <vector>

#include "alerts/alert_log.h"

AlertLogWriter::AlertLogWriter(FileWrite write, std::chrono::milliseconds retryDelay)
    : write_(write), retryDelay_(retryDelay), thread_([this] { Run(); }) {}

void AlertLogWriter::Add(const std::wstring& path, const AlertRecord& record) {
    Line line{path, FormatAlertLogLine(record)};
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) {
        lock.unlock();
        AppendAlertLogLines(line.path, {line.text}, write_);
        return;
    }
    queue_.push_back(std::move(line));
    wake_.notify_one();
}

void AlertLogWriter::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

size_t AlertLogWriter::Queued() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void AlertLogWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;
        }
        std::deque<Line> batch;
        batch.swap(queue_);
        const bool last = stopping_;
        lock.unlock();
        const size_t written = WriteBatch(batch);
        lock.lock();
        if (written < batch.size()) {
            // Before the lines that came meanwhile, so that the log keeps their order.
            queue_.insert(queue_.begin(), batch.begin() + static_cast<std::ptrdiff_t>(written), batch.end());
            if (last) {
                return;
            }
            wake_.wait_for(lock, retryDelay_, [this] { return stopping_; });
        }
    }
}

size_t AlertLogWriter::WriteBatch(const std::deque<Line>& batch) const {
    size_t written = 0;
    while (written < batch.size()) {
        std::vector<std::string> lines;
        for (size_t i = written; i < batch.size() && batch[i].path == batch[written].path; ++i) {
            lines.push_back(batch[i].text);
        }
        const size_t done = AppendAlertLogLines(batch[written].path, lines, write_);
        written += done;
        if (done < lines.size()) {
            break;
        }
    }
    return written;
}
