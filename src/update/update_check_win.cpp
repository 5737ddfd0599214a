#include "update/update_check_win.h"

// No update server is queried yet: every check ends as a failed one, which leaves latestVersion
// as it was and reports no update.
DWORD WINAPI CheckForUpdate(LPVOID doneEvent) {
    if (doneEvent) {
        SetEvent(static_cast<HANDLE>(doneEvent));
    }
    return 1;
}
