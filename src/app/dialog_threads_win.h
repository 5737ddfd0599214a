#pragma once

#include <windows.h>

#include <atomic>

// The open main dialog, published by the dialog itself while it exists; none otherwise.
extern std::atomic<HWND> mainDialogWindow;

// Dialog threads: each runs one modal dialog with no owner and returns 0 when it ends. The
// parameter (the tray window or none) is ignored. Whoever starts one closes its handle at once.
DWORD WINAPI MainDialogThread(LPVOID);
DWORD WINAPI AlertLogDialogThread(LPVOID);

// Starts the thread detached; false when it could not be created.
bool StartDetachedThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter);
