#pragma once

#include <windows.h>

// The "Settings" page of the main dialog: Apply is enabled by a change of the page's fields and
// check boxes and writes the accepted values to the settings; the two "..." buttons pick the log
// and the sound file. Takes WM_INITDIALOG (after the fields are filled: Apply disabled) and the
// page's WM_COMMAND messages; true when the message was the page's.
bool HandleSettingsPage(HWND dialog, UINT message, WPARAM wParam);
