#pragma once

// Only A to Z fold: the "C" locale's towlower, without depending on the process locale, so names
// compare alike on every build and in every locale.
constexpr wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
