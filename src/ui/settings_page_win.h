#pragma once

#include <windows.h>

// The "Settings" page of the main dialog: Apply is enabled by a change of the page's fields and
// check boxes and writes the accepted values to the settings; the "..." buttons pick the log, the
// sound and the metrics file, and the last error of the metrics file shows below its field. Takes
// WM_INITDIALOG (after the fields are filled: Apply disabled), its timer and the page's WM_COMMAND
// messages; true when the message was the page's.
bool HandleSettingsPage(HWND dialog, UINT message, WPARAM wParam);
