#include "app/update_state_win.h"

HANDLE UpdateCheckDoneEvent = nullptr;
HANDLE UpdateAvailableEvent = nullptr;
SharedValue<std::wstring> latestVersion{L"0.0.0.0"};
