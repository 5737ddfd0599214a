#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "res/resource.h"

// The program's own version: the text versions are compared by, and the text users see.
inline constexpr wchar_t kVersionText[] = L"" WATCHKEEP_VERSION_TEXT;
inline constexpr wchar_t kDisplayVersion[] = L"" WATCHKEEP_VERSION_TEXT " BETA";

// Packs "a.b.c.d" into one number, a in the top byte; a component above 255 spills upward.
// 0 when the text is missing or too short to be a version.
uint32_t ParseVersion(const wchar_t* text);

// Whether the latest known version is newer than the running one.
bool IsNewerVersion(const wchar_t* latest);

// The server's reply reduced to its digits and dots, in their order: words, blanks and line ends
// around the version fall away (and so do digits inside the words).
std::wstring FilterVersionText(std::wstring_view reply);

// Whether a downloaded installer may run: its own version is a version, is the one the check
// announced, and is newer than the running one. An older signed installer, replayed, is refused.
bool InstallerVersionAcceptable(const wchar_t* installer, const wchar_t* announced, const wchar_t* running);
