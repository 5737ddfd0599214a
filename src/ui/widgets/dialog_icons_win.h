#pragma once

#include <windows.h>

// Gives a dialog the program icon at 16 and 32 pixels; an icon that fails to load is not set.
void SetDialogIcons(HWND dialog);
