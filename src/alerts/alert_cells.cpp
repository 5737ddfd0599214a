#include "alerts/alert_cells.h"

#include <cwchar>
#include <iterator>

std::wstring AlertCellText(const AlertRecord& record, int column) {
    switch (column) {
    case 0: {
        wchar_t time[64];
        std::swprintf(time, std::size(time), L"%04d-%02d-%02d %02d:%02d:%02d", record.Time.Year, record.Time.Month,
                      record.Time.Day, record.Time.Hour, record.Time.Minute, record.Time.Second);
        return time;
    }
    case 1: return std::to_wstring(record.PID);
    case 2: return record.Process;
    case 3: return record.Violation;
    default: return {};
    }
}
