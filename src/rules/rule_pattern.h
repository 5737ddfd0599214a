#pragma once

#include <cstddef>
#include <string_view>

// The longest pattern rules.csv holds, in UTF-16 units as the Windows C runtime counts them.
inline constexpr size_t kMaxPatternUnits = 255;

// True for a pattern the store can keep: 1 to 255 UTF-16 units and no character below U+0020,
// since a line break or NUL would split or cut its line in rules.csv.
bool IsStorablePattern(std::wstring_view pattern);
