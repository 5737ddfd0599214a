#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest pattern rules.csv holds, in UTF-16 units as the Windows C runtime counts them.
inline constexpr size_t kMaxPatternUnits = 255;

// True for a pattern the store can keep: 1 to 255 UTF-16 units and no character below U+0020,
// since a line break or NUL would split or cut its line in rules.csv.
bool IsStorablePattern(std::wstring_view pattern);

// What a user typed or pasted as a pattern, made storable: characters below U+0020 removed and the
// rest cut to 255 UTF-16 units, so a rule saved from a dialog reads back as it was shown.
std::wstring StorablePatternText(std::wstring_view text);

// True when the text, made storable, holds nothing but blanks: no rule can be kept with it.
bool IsBlankPattern(std::wstring_view text);
