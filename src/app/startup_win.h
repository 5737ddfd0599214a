#pragma once

#include <windows.h>

// The whole life of the program: start-up, the message loop of the tray window, and the exit
// code (the quit message's wParam, or 0 when the program ends early).
int RunWatchkeep(HINSTANCE instance);

// Takes the instance as the module of every resource, then registers the tray window class (its
// name is the IDC_WATCHKEEP string) with its resources. The first call of a start.
bool RegisterTrayWindowClass(HINSTANCE instance);
