#pragma once

#include <cstdint>
#include <string>

// Local calendar time in the layout of the Win32 SYSTEMTIME.
struct AlertTime {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t DayOfWeek = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;

    bool operator==(const AlertTime&) const = default;
};

struct AlertRecord {
    AlertTime Time{};
    uint32_t PID = 0;
    std::wstring Process{};
    uint32_t RuleId = 0;
    std::wstring Violation{};
    // A notice that the limits of an earlier alert are no longer exceeded: delivered like an alert, but silent.
    bool Recovery = false;

    bool operator==(const AlertRecord&) const = default;
};

// What the monitoring engine hands its alerts to; called on the monitor thread.
class IAlertSink {
public:
    virtual int32_t OnAlert(const AlertRecord& record) = 0;
    virtual ~IAlertSink() = default;
};
