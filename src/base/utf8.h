#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// UTF-8 to wide text (UTF-16 where wchar_t has 16 bits, UTF-32 otherwise).
// Invalid or truncated sequences become U+FFFD, one per maximal invalid subpart.
std::wstring Utf8ToWide(std::string_view utf8);

// Wide text to UTF-8; lone surrogates and values beyond U+10FFFF become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// UTF-16 code units (the registry's text form) to wide text and back. Lone surrogates pass
// through unchanged, so stored text reads back exactly as it was.
std::wstring Utf16ToWide(std::u16string_view units);
std::u16string WideToUtf16(std::wstring_view wide);

// Appends one code point (at most U+10FFFF, no surrogate) as one or two wide characters.
void AppendCodePoint(std::wstring& out, char32_t cp);

// The text after a leading byte-order mark, or the text itself when it has none.
std::string_view SkipUtf8Bom(std::string_view bytes);

// A text file's bytes as wide text: UTF-16 LE or BE when they start with that byte-order mark (what
// Notepad saves as "Unicode"), else UTF-8 without its mark. A lone surrogate and an odd last byte of
// UTF-16 become U+FFFD.
std::wstring DecodeTextFile(std::string_view bytes);
