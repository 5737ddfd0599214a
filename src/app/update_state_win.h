#pragma once

#include <windows.h>

#include <string>

#include "app/shared_value.h"

// Signalled by an update check thread when it has finished (auto-reset).
extern HANDLE UpdateCheckDoneEvent;
// Signalled while a newer version is known (manual reset); tested by the main dialog.
extern HANDLE UpdateAvailableEvent;
// The newest version the last check reported; "0.0.0.0" until a check has finished.
extern SharedValue<std::wstring> latestVersion;
