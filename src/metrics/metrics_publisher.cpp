#include "metrics/metrics_publisher.h"

#include <cstring>
#include <filesystem>

#include "base/debug_trace.h"
#include "base/file_io.h"
#include "base/utf8.h"

void MetricsPublisher::OnPass(const PassReport& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
        return;
    }
    const std::string& bytes = text_.Format(report);
    const std::wstring path = settings_->MetricsFilePath.Get();
    if (!writtenPath_.empty() && writtenPath_ != path) {
        RemoveFileIfPresent(writtenPath_);
        writtenPath_.clear();
    }
    if (path.empty()) {
        failingPath_.clear();
        lastError_->Set({});
        return;
    }
    // A relative path would land wherever the program was started from.
    if (!std::filesystem::path(path).is_absolute()) {
        Fail(path, L"not a full path");
        return;
    }
    int error = 0;
    // Rewritten at every pass: a version lost to a power cut is replaced at the next one.
    if (!ReplaceFileBytes(path, bytes, &error, Flush::Skip)) {
        Fail(path, Utf8ToWide(std::strerror(error)));
        return;
    }
    writtenPath_ = path;
    if (!failingPath_.empty()) {
        DebugTrace(L"MetricsPublisher::OnPass - Writing %ls again", path.c_str());
        failingPath_.clear();
    }
    lastError_->Set({});
}

void MetricsPublisher::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    if (!writtenPath_.empty()) {
        RemoveFileIfPresent(writtenPath_);
        writtenPath_.clear();
    }
}

void MetricsPublisher::Fail(const std::wstring& path, const std::wstring& reason) {
    const std::wstring message = L"Cannot write " + path + L": " + reason;
    // One trace per streak of failures on one path; the page shows the latest reason.
    if (failingPath_ != path) {
        DebugTrace(L"MetricsPublisher::OnPass - %ls", message.c_str());
        failingPath_ = path;
    }
    lastError_->Set(message);
}
