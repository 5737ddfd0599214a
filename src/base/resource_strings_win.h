#pragma once

#include <windows.h>

#include <string>

// The program's own image, which carries every resource (the tests and benchmarks link them too).
HINSTANCE ProgramModule();

// A string-table entry (at most 511 characters), empty when it does not exist.
std::wstring LoadStringResource(UINT id);

// A string-table entry with each '|' turned into NUL and two NULs appended (both counted in the
// length): the filter list of the file dialogs.
std::wstring LoadFilterString(UINT id);
