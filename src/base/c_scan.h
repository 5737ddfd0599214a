#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The C library's view of characters, for readers that must follow scanf and strtod exactly
// whatever the user's locale: white space is ' ' and '\t' to '\r', digits are '0' to '9'.
template <typename CharT>
constexpr bool IsCSpace(CharT c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

template <typename CharT>
constexpr bool IsCDigit(CharT c) {
    return c >= '0' && c <= '9';
}

// Skips white space from text[i] on.
template <typename CharT>
void SkipCBlanks(std::basic_string_view<CharT> text, size_t& i) {
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
}

// Skips white space and one sign, as the C conversions do; true for a minus sign.
template <typename CharT>
bool SkipCBlanksAndSign(std::basic_string_view<CharT> text, size_t& i) {
    SkipCBlanks(text, i);
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        return text[i++] == '-';
    }
    return false;
}

// The decimal digits of a C integer conversion after white space and one sign: the magnitude modulo
// 2^64, whether it went beyond 2^64 - 1, and the sign. Each reader keeps its own conversion's
// overflow rule (wrap, clamp or saturate) on top of this.
struct CDigits {
    uint64_t Magnitude = 0;
    bool Overflow = false;
    bool Negative = false;
};

// False, and pos untouched, when no digit follows the white space and sign.
template <typename CharT>
bool ScanCDigits(std::basic_string_view<CharT> text, size_t& pos, CDigits& digits) {
    size_t i = pos;
    const bool negative = SkipCBlanksAndSign(text, i);
    if (i >= text.size() || !IsCDigit(text[i])) {
        return false;
    }
    CDigits read;
    read.Negative = negative;
    for (; i < text.size() && IsCDigit(text[i]); ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - '0');
        read.Overflow = read.Overflow || read.Magnitude > (UINT64_MAX - digit) / 10;
        read.Magnitude = read.Magnitude * 10 + digit;
    }
    digits = read;
    pos = i;
    return true;
}

// Readers that follow the C library's scanf/strtod rules whatever the user's locale, identical on
// both builds; pos advances past what was read and is left alone when nothing could be read.

// "%u": a '-' wraps modulo 2^32, an out-of-range value saturates first (as strtoul does) and keeps
// its low 32 bits.
bool ReadCUnsigned(std::wstring_view text, size_t& pos, uint32_t& value);

// strtod in the "C" locale: white space, sign, decimal or hexadecimal digits with exponent,
// "inf", "infinity", "nan".
bool ReadCDouble(std::wstring_view text, size_t& pos, double& value);
bool ReadCDouble(std::string_view text, size_t& pos, double& value);
