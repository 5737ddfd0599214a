#include <windows.h>

#include "app/debug_trace.h"
#include "app/dialog_threads_win.h"
#include "app/resource_format.h"
#include "app/resource_helpers_win.h"
#include "app/tray_window_win.h"
#include "app/update_state_win.h"
#include "res/resource.h"
#include "update/update_check_win.h"
#include "update/version.h"

namespace {

constexpr UINT kUpdateResultPollMs = 500;

void ReportNoUpdate() {
    ResetEvent(UpdateAvailableEvent);
    if (trayState.manualUpdateCheck) {
        MessageBoxW(nullptr, LoadStringResource(IDS_NO_UPDATES).c_str(), L"Watchkeep",
                    MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    if (HWND dialog = mainDialogWindow.load()) {
        if (HWND link = GetDlgItem(dialog, IDC_VERSION_LINK)) {
            SetWindowTextW(link, FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion).c_str());
        }
    }
}

void ReportUpdate(HWND window, const std::wstring& latest) {
    DebugTrace(L"Update available. Signaling.");
    SetEvent(UpdateAvailableEvent);
    if (!trayState.manualUpdateCheck) {
        PostMessageW(window, UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION, 0, 0);
        if (HWND dialog = mainDialogWindow.load()) {
            PostMessageW(dialog, UWM_UPDATE_AVAILABLE, 0, 0);
        }
        return;
    }
    // The answer Yes starts the installer, which arrives with the update client.
    MessageBoxW(nullptr, FillPlaceholder(LoadStringResource(IDS_UPDATE_NOW_QUESTION), latest).c_str(),
                LoadStringResource(IDS_UPDATE_AVAILABLE_TITLE).c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
}

}  // namespace

void StartUpdateCheck(HWND window, bool userAsked) {
    if (userAsked) {
        trayState.manualUpdateCheck = true;
    }
    ResetEvent(UpdateAvailableEvent);
    ResetEvent(UpdateCheckDoneEvent);
    SetTimer(window, IDT_UPDATE_RESULT, kUpdateResultPollMs, nullptr);
    StartDetachedThread(CheckForUpdate, UpdateCheckDoneEvent);
}

void HandleUpdateResult(HWND window) {
    if (WaitForSingleObject(UpdateCheckDoneEvent, 0) != WAIT_OBJECT_0) {
        return;
    }
    DebugTrace(L"Update check finished. Handling results.");
    if (trayState.updateProgressDialog) {
        DestroyWindow(trayState.updateProgressDialog);
        trayState.updateProgressDialog = nullptr;
    }
    const std::wstring latest = latestVersion.Get();
    if (IsNewerVersion(latest.c_str())) {
        ReportUpdate(window, latest);
    } else {
        ReportNoUpdate();
    }
    trayState.manualUpdateCheck = false;
    ResetEvent(UpdateCheckDoneEvent);
    KillTimer(window, IDT_UPDATE_RESULT);
}
