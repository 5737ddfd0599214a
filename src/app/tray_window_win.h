#pragma once

#include <windows.h>

// The hidden tray window, meeting point of all threads. Set by start-up before any other thread
// starts and never changed while they run; they reach it only by posting or sending messages.
extern HWND trayWindow;
