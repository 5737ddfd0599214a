#include <windows.h>

#include "app/application_win.h"
#include "app/tray_window_win.h"
#include "base/debug_trace.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/main_dialog_win.h"
#include "ui/update_progress_dialog_win.h"
#include "ui/widgets/message_box_win.h"
#include "update/install_mark_win.h"
#include "update/version.h"

namespace {

void ReportNoUpdate(bool userAsked) {
    if (userAsked) {
        ShowMessage(nullptr, LoadStringResource(IDS_NO_UPDATES), MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    if (HWND dialog = mainDialogWindow.load()) {
        if (HWND link = GetDlgItem(dialog, IDC_VERSION_LINK)) {
            SetWindowTextW(link, FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion).c_str());
        }
    }
}

void ReportUpdate(Application& app, const UpdateCheckResult& result) {
    DebugTrace(L"Update available. Signaling.");
    if (!result.userAsked) {
        PostMessageW(app.TrayWindow(), UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION, 0, 0);
        if (HWND dialog = mainDialogWindow.load()) {
            PostMessageW(dialog, UWM_UPDATE_AVAILABLE, 0, 0);
        }
        return;
    }
    if (ShowMessage(nullptr, FillPlaceholder(LoadStringResource(IDS_UPDATE_NOW_QUESTION), result.latest),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND, IDS_UPDATE_AVAILABLE_TITLE) == IDYES) {
        app.updates.StartInstall();
    }
}

void ShowUpdateBalloon(const Application& app, UINT titleId, UINT textId, const std::wstring& version) {
    app.trayIcon.ShowBalloon(LoadStringResource(titleId), FillPlaceholder(LoadStringResource(textId), version));
}

}  // namespace

void StartUpdateCheck(Application& app, bool userAsked) {
    if (app.updates.RequestCheck(userAsked) && !app.tray.updateProgressDialog) {
        ShowUpdateProgressDialog(&app.tray.updateProgressDialog);
    }
}

void HandleUpdateResult(Application& app) {
    DebugTrace(L"Update check finished. Handling results.");
    if (app.tray.updateProgressDialog) {
        DestroyWindow(app.tray.updateProgressDialog);
        app.tray.updateProgressDialog = nullptr;
    }
    const UpdateCheckResult result = app.updates.TakeCheckResult();
    if (result.newer) {
        ReportUpdate(app, result);
    } else {
        ReportNoUpdate(result.userAsked);
    }
}

void ReportInstallFailed() {
    ShowMessage(nullptr, LoadStringResource(IDS_UPDATE_DOWNLOAD_FAILED), MB_ICONERROR | MB_SETFOREGROUND,
                IDS_UPDATE_ERROR_TITLE);
}

void CheckUpdateFinished(Application& app, HWND window) {
    if (const std::optional<InstallMark> mark = TakeInstallMark(kVersionText)) {
        app.tray.incompleteUpdateVersion = mark->completed ? L"" : mark->version;
        PostMessageW(window, UWM_SHOW_POST_UPDATE_NOTIFICATION, 0, 0);
    }
}

void ShowPostUpdateBalloon(Application& app) {
    DebugTrace(L"UWM_SHOW_POST_UPDATE_NOTIFICATION");
    if (app.tray.incompleteUpdateVersion.empty()) {
        ShowUpdateBalloon(app, IDS_UPDATED_TITLE, IDS_UPDATED_TEXT, kDisplayVersion);
    } else {
        ShowUpdateBalloon(app, IDS_UPDATE_INCOMPLETE_TITLE, IDS_UPDATE_INCOMPLETE_TEXT,
                          app.tray.incompleteUpdateVersion);
    }
    app.tray.postUpdateBalloonShown = true;
}

void ShowUpdateAvailableBalloon(Application& app) {
    DebugTrace(L"UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION");
    ShowUpdateBalloon(app, IDS_UPDATE_AVAILABLE_TITLE, IDS_UPDATE_AVAILABLE_TEXT, app.updates.LatestVersion());
    app.tray.updateBalloonShown = true;
}
