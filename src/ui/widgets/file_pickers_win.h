#pragma once

#include <windows.h>

#include <string>

// The common open and save pickers with a filter list from the string table (its '|' marks
// turned into NULs). False when the user cancels; path is then untouched.
bool PickFileToOpen(HWND owner, UINT filterStringId, std::wstring& path);
// Asks before overwriting and adds defaultExtension to a name typed without one.
bool PickFileToSave(HWND owner, UINT filterStringId, const wchar_t* defaultExtension, std::wstring& path);
