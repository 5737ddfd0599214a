#pragma once

#include <windows.h>

#include <string>

#include "res/resource.h"

// Every message box of the program: the caption is the program's name unless the box has a title
// of its own (a string resource). Returns what MessageBoxW returns.
int ShowMessage(HWND owner, const std::wstring& text, UINT flags, UINT titleId = IDS_APP_TITLE);
