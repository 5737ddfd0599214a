#include "ui/history_csv.h"

#include <charconv>
#include <cmath>

#include "alerts/alert_cells.h"
#include "alerts/alert_csv.h"
#include "base/utf8.h"

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

std::string Shortest(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof(buffer), value).ptr);
}

}  // namespace

AlertTime LocalTimeOf(double unixSeconds, int utcOffsetSeconds) {
    const double local = unixSeconds + utcOffsetSeconds;
    const auto seconds = static_cast<int64_t>(std::floor(local));
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t ofDay = seconds - days * 86400;
    const int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
    return AlertTime{static_cast<uint16_t>(year),
                     static_cast<uint16_t>(month),
                     static_cast<uint16_t>((days % 7 + 11) % 7),  // 1970-01-01 was a Thursday
                     static_cast<uint16_t>(dayOfYear - (153 * mp + 2) / 5 + 1),
                     static_cast<uint16_t>(ofDay / 3600),
                     static_cast<uint16_t>(ofDay / 60 % 60),
                     static_cast<uint16_t>(ofDay % 60),
                     static_cast<uint16_t>(std::floor((local - std::floor(local)) * 1000.0))};
}

double UnixTimeOf(const AlertTime& local, int utcOffsetSeconds) {
    const int64_t days = DaysFromCivil(local.Year, local.Month, local.Day);
    return static_cast<double>(days * 86400 + local.Hour * 3600 + local.Minute * 60 + local.Second - utcOffsetSeconds) +
           local.Milliseconds / 1000.0;
}

std::string FormatHistoryCsv(const ProcessTrack& track, std::wstring_view header, int utcOffsetSeconds) {
    std::string bytes(kUtf8Bom);
    bytes += WideToUtf8(header) + "\r\n";
    const std::string process = CsvQuoted(track.ExeName);
    for (const HistoryPoint& point : track.Points) {
        const AlertRecord stamp{.Time = LocalTimeOf(point.TimeSeconds, utcOffsetSeconds)};
        bytes += CsvQuoted(AlertCellText(stamp, 0)) + ',' + std::to_string(track.Key.ProcessId) + ',' + process + ',' +
                 std::to_string(point.HandleCount) + ',' + std::to_string(point.WorkingSetBytes) + ',' +
                 std::to_string(point.PrivateBytes) + ',' + Shortest(point.CpuPercent) + ',' +
                 std::to_string(point.ThreadCount) + ',' + std::to_string(point.GdiObjects) + ',' +
                 std::to_string(point.UserObjects) + "\r\n";
    }
    return bytes;
}
