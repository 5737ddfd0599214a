#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Number conversions of the rule files, independent of the user's locale and identical on both
// builds; the readers are base/c_scan.h's.

// Megabytes of 1,048,576 bytes to a byte limit: truncated toward zero; negative, NaN and infinite
// values give 0 (no limit), values beyond the 64-bit range saturate.
uint64_t MegabytesToBytes(double megabytes);

// A JSON count: truncated toward zero to a signed 64-bit value (saturating, NaN 0), low 32 bits.
uint32_t TruncateToUint32(double value);

// "%u" and "%.1f" of the C locale.
void AppendUnsigned(std::string& out, uint64_t value);
void AppendOneDecimal(std::string& out, double value);
