#pragma once

#include <windows.h>

#include <string>

// The common open and save pickers with a filter list from the string table (its '|' marks
// turned into NULs). They start with the file named by path (none when it is empty) and put the
// chosen file there. False when the user cancels; path is then untouched.
bool PickFileToOpen(HWND owner, UINT filterStringId, std::wstring& path);
// Adds defaultExtension to a name typed without one and, unless told the file is only appended
// to, asks before overwriting an existing file.
enum class ExistingFile { AskBeforeReplacing, AppendTo };
bool PickFileToSave(HWND owner, UINT filterStringId, const wchar_t* defaultExtension, std::wstring& path,
                    ExistingFile existing = ExistingFile::AskBeforeReplacing);
