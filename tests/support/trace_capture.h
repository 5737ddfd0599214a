#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "base/debug_trace.h"

// Collects every DebugTrace line written while it lives.
class TraceCapture {
public:
    TraceCapture() {
        SetDebugTraceHook([this](std::wstring_view text) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.emplace_back(text);
        });
    }
    ~TraceCapture() { SetDebugTraceHook({}); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::wstring> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    bool Contains(const std::wstring& line) const {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> lines_;
};
