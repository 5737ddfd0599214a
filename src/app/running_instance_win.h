#pragma once

#include <windows.h>

// The tray window of a running instance (class IDC_WATCHKEEP, title IDS_APP_TITLE), or null.
HWND FindRunningTray();

// What a second start does: asks the running instance, through its tray window, to open or raise
// its main dialog (the message its icon's left click sends), waiting a bounded time for it.
void RaiseRunningInstance(HWND runningTray);
