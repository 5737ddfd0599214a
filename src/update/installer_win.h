#pragma once

#include <windows.h>

// Downloads the installer of the selected channel into "<temp>\Watchkeep", checks its Authenticode
// signature, marks UpdateFinished and starts it with "/S". True when the installer was started.
bool DownloadAndRunInstaller();

// Thread procedure: DownloadAndRunInstaller, then UWM_EXIT to the tray window given as the
// parameter, or the update error message box when it failed.
DWORD WINAPI InstallUpdate(LPVOID trayWindow);

// Starts InstallUpdate on its own thread unless one is still running (two clicks would otherwise
// write the same file twice).
void StartInstallUpdate(HWND trayWindow);
