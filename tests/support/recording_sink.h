#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "alerts/alert_record.h"

// Keeps every alert it is handed; read safely while a monitor thread still writes.
class RecordingSink : public IAlertSink {
public:
    int32_t OnAlert(const AlertRecord& record) override {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(record);
        return 1;
    }

    std::vector<AlertRecord> Records() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

    std::vector<AlertRecord> For(uint32_t pid) const {
        std::vector<AlertRecord> records = Records();
        std::erase_if(records, [pid](const AlertRecord& record) { return record.PID != pid; });
        return records;
    }

private:
    mutable std::mutex mutex_;
    std::vector<AlertRecord> records_;
};
