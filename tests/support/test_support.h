#pragma once

// The portable core's fixture, free of gtest so the helper programs share it.
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "monitor/alert_record.h"
#include "base/debug_trace.h"
#include "base/file_io.h"
#include "rules/rule_store.h"

// A fresh folder under the temporary folder, removed with everything in it. The name is random:
// several builds run the same tests at once.
class TestFolder {
public:
    TestFolder() { std::filesystem::create_directories(folder_); }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    std::wstring Path(const wchar_t* name) const { return (folder_ / name).wstring(); }
    std::wstring Write(const wchar_t* name, std::string_view bytes) const {
        return WriteFileBytes(Path(name), bytes) ? Path(name) : L"(not written)";
    }
    std::ptrdiff_t Entries() const { return std::distance(std::filesystem::directory_iterator(folder_), {}); }
    static std::string Read(const std::wstring& path) {
        std::string bytes = "(unreadable)";
        ReadFileBytes(path, bytes);
        return bytes;
    }

private:
    std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("watchkeep_test_" + std::to_string(std::random_device()()));
};

// Keeps every trace line, or every alert, it is handed while it lives; read safely from any thread.
template <typename Item>
class Recorder {
public:
    std::vector<Item> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_;
    }
    bool Contains(const Item& item) const {
        const auto items = Lines();
        return std::find(items.begin(), items.end(), item) != items.end();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.clear();
    }

protected:
    void Add(Item item) {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(item));
    }

private:
    mutable std::mutex mutex_;
    std::vector<Item> items_;
};

class TraceCapture : public Recorder<std::wstring> {
public:
    TraceCapture() {
        SetDebugTraceHook([this](std::wstring_view text) { Add(std::wstring(text)); });
    }
    ~TraceCapture() { SetDebugTraceHook({}); }
};

class RecordingSink : public IAlertSink, public Recorder<AlertRecord> {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        Add(record);
        return 1;
    }
    std::vector<AlertRecord> For(uint32_t pid) const {
        std::vector<AlertRecord> records = Lines();
        std::erase_if(records, [pid](const AlertRecord& record) { return record.PID != pid; });
        return records;
    }
};

// An alert with whole seconds only, as the log keeps them; the seconds follow the PID.
inline AlertRecord MakeAlert(uint32_t pid, std::wstring process = L"p.exe", std::wstring violation = L"Threads: 9 > 8",
                             uint32_t ruleId = 0) {
    const AlertTime time{2024, 6, 0, 1, 12, 0, static_cast<uint16_t>(pid % 60), 0};
    return {time, pid, std::move(process), ruleId, std::move(violation)};
}

// The two lists the rule_save_loop tool saves in turn; a test that kills it expects one of them whole.
inline RuleList SaveLoopRules(bool second) {
    RuleList rules;
    for (uint32_t i = 1; i <= (second ? 5000u : 3000u); ++i) {
        const std::wstring pattern = (second ? L"second-" : L"first-") + std::to_wstring(i) + L".exe";
        rules.push_back({i, pattern, true, i, i * kBytesPerMB, 0, 50.5});
    }
    return rules;
}
