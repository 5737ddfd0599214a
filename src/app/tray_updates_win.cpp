#include "app/tray_updates_win.h"

#include "base/debug_trace.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/widgets/message_box_win.h"
#include "update/install_mark_win.h"
#include "update/version.h"

void TrayUpdates::ReportNoUpdate(bool userAsked) {
    if (userAsked) {
        ShowMessage(nullptr, LoadStringResource(IDS_NO_UPDATES), MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    // The dialog's thread sets its own link back to the check text.
    if (HWND dialog = mainDialogWindow_.load()) {
        PostMessageW(dialog, UWM_NO_UPDATE_FOUND, 0, 0);
    }
}

void TrayUpdates::ReportUpdate(HWND trayWindow, bool userAsked, const std::wstring& latest) {
    DebugTrace(L"Update available. Signaling.");
    if (!userAsked) {
        PostMessageW(trayWindow, UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION, 0, 0);
        if (HWND dialog = mainDialogWindow_.load()) {
            PostMessageW(dialog, UWM_UPDATE_AVAILABLE, 0, 0);
        }
        return;
    }
    if (ShowMessage(nullptr, FillPlaceholder(LoadStringResource(IDS_UPDATE_NOW_QUESTION), latest),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND, IDS_UPDATE_AVAILABLE_TITLE) == IDYES) {
        updater_.StartInstall();
    }
}

void TrayUpdates::ShowBalloon(UINT titleId, UINT textId, const std::wstring& version) const {
    icon_.ShowBalloon(LoadStringResource(titleId), FillPlaceholder(LoadStringResource(textId), version));
}

void TrayUpdates::StartCheck(bool userAsked) {
    if (updater_.RequestCheck(userAsked)) {
        progress_.Show();
    }
}

void TrayUpdates::ReportResult(HWND trayWindow) {
    DebugTrace(L"Update check finished. Handling results.");
    progress_.Close();
    const UpdateCheckResult result = updater_.TakeCheckResult();
    if (result.newer) {
        ReportUpdate(trayWindow, result.userAsked, result.latest);
    } else {
        ReportNoUpdate(result.userAsked);
    }
}

void TrayUpdates::ReportInstallFailed() {
    ShowMessage(nullptr, LoadStringResource(IDS_UPDATE_DOWNLOAD_FAILED), MB_ICONERROR | MB_SETFOREGROUND,
                IDS_UPDATE_ERROR_TITLE);
}

void TrayUpdates::CheckUpdateFinished(HWND trayWindow) {
    if (const std::optional<InstallMark> mark = TakeInstallMark(kVersionText)) {
        incompleteUpdateVersion_ = mark->completed ? L"" : mark->version;
        PostMessageW(trayWindow, UWM_SHOW_POST_UPDATE_NOTIFICATION, 0, 0);
    }
}

void TrayUpdates::ShowPostUpdateBalloon() {
    DebugTrace(L"UWM_SHOW_POST_UPDATE_NOTIFICATION");
    if (incompleteUpdateVersion_.empty()) {
        ShowBalloon(IDS_UPDATED_TITLE, IDS_UPDATED_TEXT, kDisplayVersion);
    } else {
        ShowBalloon(IDS_UPDATE_INCOMPLETE_TITLE, IDS_UPDATE_INCOMPLETE_TEXT, incompleteUpdateVersion_);
    }
    postUpdateBalloonShown_ = true;
}

void TrayUpdates::ShowUpdateAvailableBalloon() {
    DebugTrace(L"UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION");
    ShowBalloon(IDS_UPDATE_AVAILABLE_TITLE, IDS_UPDATE_AVAILABLE_TEXT, updater_.LatestVersion());
    updateBalloonShown_ = true;
}

void TrayUpdates::OnBalloonGone() {
    updateBalloonShown_ = false;
    postUpdateBalloonShown_ = false;
}

bool TrayUpdates::OnBalloonClick() {
    if (updateBalloonShown_) {
        updateBalloonShown_ = false;
        updater_.StartInstall();
        return true;
    }
    if (postUpdateBalloonShown_) {
        postUpdateBalloonShown_ = false;
        return true;
    }
    return false;
}
