#pragma once

#include <string>
#include <string_view>

// Fills the "%s" of a string-table text with a value ("%%" stands for '%'). The texts carry C
// format marks, but a wide printf's "%s" means different things to different runtimes.
std::wstring FillPlaceholder(std::wstring_view format, std::wstring_view value);
