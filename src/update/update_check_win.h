#pragma once

#include <windows.h>

// Thread procedure of one update check; signals the given event (UpdateCheckDoneEvent) when done.
DWORD WINAPI CheckForUpdate(LPVOID doneEvent);
