#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 surrogates, whatever the width of wchar_t: a 16-bit build holds a character beyond the
// BMP as a pair of units, a 32-bit build as one wchar_t.
constexpr bool IsHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool IsSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}
constexpr char32_t CombineSurrogates(uint32_t high, uint32_t low) {
    return static_cast<char32_t>(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
}
// The two units of a code point beyond the BMP (U+10000 to U+10FFFF).
constexpr char16_t HighSurrogateOf(char32_t cp) {
    return static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
}
constexpr char16_t LowSurrogateOf(char32_t cp) {
    return static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
}

// How many wide characters the character at text[pos] takes: 2 for a whole UTF-16 pair, else 1.
size_t CharacterLength(std::wstring_view text, size_t pos);

// How many UTF-16 units one wide character counts for (2 for a code point beyond the BMP held
// whole, as on a 32-bit wchar_t), so that both builds count lengths alike.
size_t Utf16Units(wchar_t c);

// The text cut to at most maxUnits UTF-16 units, never leaving half of a pair at the end.
std::wstring CutToUtf16Units(std::wstring_view text, size_t maxUnits);

// The next piece of text as a fixed-size line buffer returns it (fgets): up to and including LF
// (or a CR that no LF follows, when loneCrEndsLine: files saved with old Mac line ends), at most
// maxUnits UTF-16 units, never ending inside a pair; pos moves past it.
std::wstring_view NextLinePiece(std::wstring_view text, size_t& pos, size_t maxUnits, bool loneCrEndsLine);
