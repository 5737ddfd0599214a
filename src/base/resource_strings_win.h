#pragma once

#include <windows.h>

#include <string>

// The module every resource is loaded from: set once by start-up (RegisterTrayWindowClass) before
// any thread or window exists, read only after.
extern HINSTANCE appInstance;

// A string-table entry (at most 511 characters), empty when it does not exist.
std::wstring LoadStringResource(UINT id);

// A string-table entry with each '|' turned into NUL and two NULs appended (both counted in the
// length): the filter list of the file dialogs.
std::wstring LoadFilterString(UINT id);
