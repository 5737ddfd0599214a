#pragma once

// True when the whole name matches the whole pattern: '*' any run, '?' one character,
// letters A to Z compared without case, everything else exactly.
bool WildcardMatch(const wchar_t* name, const wchar_t* pattern);
