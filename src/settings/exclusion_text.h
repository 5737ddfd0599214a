#pragma once

#include <string>
#include <string_view>

#include "settings/app_settings.h"

// The exclusion list as the text of its edit box: one pattern per line, "\r\n" between them.
std::wstring JoinExclusionText(const ExclusionList& exclusions);

// The patterns of the edit box's text: split at every run of CR and LF, each piece trimmed of
// white space at both ends, empty pieces dropped; the rest kept as they are, in order.
ExclusionList ParseExclusionText(std::wstring_view text);
