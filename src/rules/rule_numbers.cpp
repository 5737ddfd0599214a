#include "rules/rule_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

uint64_t MegabytesToBytes(double megabytes) {
    const double bytes = megabytes * 1024.0 * 1024.0;
    if (!std::isfinite(bytes) || bytes <= 0.0) {
        return 0;
    }
    if (bytes >= 18446744073709551616.0) {
        return std::numeric_limits<uint64_t>::max();
    }
    return static_cast<uint64_t>(bytes);
}

uint32_t TruncateToUint32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    int64_t whole = 0;
    if (value >= 9223372036854775808.0) {
        whole = std::numeric_limits<int64_t>::max();
    } else if (value <= -9223372036854775808.0) {
        whole = std::numeric_limits<int64_t>::min();
    } else {
        whole = static_cast<int64_t>(value);
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

void AppendUnsigned(std::string& out, uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendOneDecimal(std::string& out, double value) {
    // Fixed notation of the largest double needs 309 digits plus sign, point and decimal.
    char buffer[320];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    out.append(buffer, result.ptr);
}
