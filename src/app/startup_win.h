#pragma once

#include <windows.h>

// The whole life of the program: start-up, the message loop of the tray window, and the exit
// code (the quit message's wParam, or 0 when the program ends early).
int RunWatchkeep(HINSTANCE instance);

// Takes the instance as the module of every resource, then registers the tray window class (its
// name is the IDC_WATCHKEEP string) with its resources. The first call of a start.
bool RegisterTrayWindowClass(HINSTANCE instance);

// The tray window of a running instance (class IDC_WATCHKEEP, title IDS_APP_TITLE), or null.
HWND FindRunningTray();

// What a second start does: asks the running instance, through its tray window, to open or raise
// its main dialog (the message its icon's left click sends), waiting a bounded time for it.
void RaiseRunningInstance(HWND runningTray);
