#include <windows.h>

#include "app/application_win.h"
#include "app/tray_window_win.h"
#include "base/debug_trace.h"
#include "base/exception_barrier_win.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/main_dialog_win.h"
#include "ui/update_progress_dialog_win.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"
#include "update/update_state.h"
#include "update/version.h"

namespace {

constexpr UINT kUpdateResultPollMs = 500;

void ReportNoUpdate(Application& app) {
    ResetEvent(app.updateAvailableEvent.get());
    if (app.tray.manualUpdateCheck) {
        MessageBoxW(nullptr, LoadStringResource(IDS_NO_UPDATES).c_str(), L"Watchkeep",
                    MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    if (HWND dialog = mainDialogWindow.load()) {
        if (HWND link = GetDlgItem(dialog, IDC_VERSION_LINK)) {
            SetWindowTextW(link, FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion).c_str());
        }
    }
}

void ReportUpdate(Application& app, const std::wstring& latest) {
    DebugTrace(L"Update available. Signaling.");
    SetEvent(app.updateAvailableEvent.get());
    if (!app.tray.manualUpdateCheck) {
        PostMessageW(app.TrayWindow(), UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION, 0, 0);
        if (HWND dialog = mainDialogWindow.load()) {
            PostMessageW(dialog, UWM_UPDATE_AVAILABLE, 0, 0);
        }
        return;
    }
    if (MessageBoxW(nullptr, FillPlaceholder(LoadStringResource(IDS_UPDATE_NOW_QUESTION), latest).c_str(),
                    LoadStringResource(IDS_UPDATE_AVAILABLE_TITLE).c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES) {
        StartInstallUpdate(app.TrayWindow());
    }
}

}  // namespace

void StartUpdateCheck(Application& app, bool userAsked) {
    // One check at a time, so two threads never race on latestVersion; the running check's result
    // is handled as usual.
    if (app.tray.updateCheckRunning) {
        DebugTrace(L"Update check already running");
        return;
    }
    app.tray.updateCheckRunning = true;
    if (userAsked) {
        app.tray.manualUpdateCheck = true;
    }
    ResetEvent(app.updateAvailableEvent.get());
    ResetEvent(app.updateCheckDoneEvent.get());
    SetTimer(app.TrayWindow(), IDT_UPDATE_RESULT, kUpdateResultPollMs, nullptr);
    // Detached: the check thread only signals the done event when it ends. Without a thread the
    // check ends at once, so its result handling still clears the running state.
    const UniqueHandle thread(
        CreateThread(nullptr, 0, GuardedThread<CheckForUpdate>, app.updateCheckDoneEvent.get(), 0, nullptr));
    if (!thread) {
        SetEvent(app.updateCheckDoneEvent.get());
    }
    if (app.tray.manualUpdateCheck && !app.tray.updateProgressDialog) {
        ShowUpdateProgressDialog(&app.tray.updateProgressDialog);
    }
}

void HandleUpdateResult(Application& app) {
    if (WaitForSingleObject(app.updateCheckDoneEvent.get(), 0) != WAIT_OBJECT_0) {
        return;
    }
    DebugTrace(L"Update check finished. Handling results.");
    if (app.tray.updateProgressDialog) {
        DestroyWindow(app.tray.updateProgressDialog);
        app.tray.updateProgressDialog = nullptr;
    }
    const std::wstring latest = latestVersion.Get();
    if (IsNewerVersion(latest.c_str())) {
        ReportUpdate(app, latest);
    } else {
        ReportNoUpdate(app);
    }
    app.tray.manualUpdateCheck = false;
    app.tray.updateCheckRunning = false;
    ResetEvent(app.updateCheckDoneEvent.get());
    KillTimer(app.TrayWindow(), IDT_UPDATE_RESULT);
}
