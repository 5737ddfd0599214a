#pragma once

#include <cstddef>
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
