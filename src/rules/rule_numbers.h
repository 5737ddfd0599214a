#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Number reading and writing for the rule files, independent of the user's locale and identical
// on both builds. The readers follow the C library's scanf/strtod rules; pos advances past what
// was read and is left alone when nothing could be read.

// "%u": white space, an optional sign, decimal digits; a '-' wraps modulo 2^32, an out-of-range
// value saturates first (as strtoul does) and keeps its low 32 bits.
bool ReadCUnsigned(std::wstring_view text, size_t& pos, uint32_t& value);

// strtod in the "C" locale: white space, sign, decimal or hexadecimal digits with exponent,
// "inf", "infinity", "nan".
bool ReadCDouble(std::wstring_view text, size_t& pos, double& value);
bool ReadCDouble(std::string_view text, size_t& pos, double& value);

// Megabytes of 1,048,576 bytes to a byte limit: truncated toward zero; negative, NaN and infinite
// values give 0 (no limit), values beyond the 64-bit range saturate.
uint64_t MegabytesToBytes(double megabytes);

// A JSON count: truncated toward zero to a signed 64-bit value (saturating, NaN 0), low 32 bits.
uint32_t TruncateToUint32(double value);

// "%u" and "%.1f" of the C locale.
void AppendUnsigned(std::string& out, uint64_t value);
void AppendOneDecimal(std::string& out, double value);
