#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "app/tray_icon_win.h"
#include "ui/update_progress_dialog_win.h"
#include "update/updater_win.h"

// What the tray window does for updates: starts checks, reports their results (boxes, balloons,
// the progress dialog of a check the user asked for, a word to the open main dialog), and at
// creation tells of the update a previous run installed. Main thread only.
class TrayUpdates {
public:
    TrayUpdates(Updater& updater, const TrayIcon& icon, const std::atomic<HWND>& openMainDialog)
        : updater_(updater), icon_(icon), mainDialogWindow_(openMainDialog) {}
    TrayUpdates(const TrayUpdates&) = delete;
    TrayUpdates& operator=(const TrayUpdates&) = delete;

    // UWM_CHECK_UPDATES: starts a check, with the progress dialog when the user asked for it.
    void StartCheck(bool userAsked);
    // UWM_UPDATE_CHECKED: closes the progress dialog and reports the result.
    void ReportResult(HWND trayWindow);
    // UWM_UPDATE_INSTALL_FAILED: the error box.
    static void ReportInstallFailed();
    // Takes the mark a previous run's update left and posts the balloon that tells of it.
    void CheckUpdateFinished(HWND trayWindow);
    // UWM_SHOW_POST_UPDATE_NOTIFICATION and UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION.
    void ShowPostUpdateBalloon();
    void ShowUpdateAvailableBalloon();
    // The balloon went away unclicked.
    void OnBalloonGone();
    // A click on a balloon: true when it was one of these (the available one starts the install),
    // false when it was an alert's.
    bool OnBalloonClick();

    // The progress dialog while it shows, for the message loop's IsDialogMessageW; else null.
    HWND ProgressWindow() const { return progress_.Window(); }
    bool PostUpdateBalloonShown() const { return postUpdateBalloonShown_; }
    // The version a previous run set out to install and that is not the one running; empty if none.
    const std::wstring& IncompleteUpdateVersion() const { return incompleteUpdateVersion_; }

private:
    void ReportNoUpdate(bool userAsked);
    void ReportUpdate(HWND trayWindow, bool userAsked, const std::wstring& latest);
    void ShowBalloon(UINT titleId, UINT textId, const std::wstring& version) const;

    Updater& updater_;
    const TrayIcon& icon_;
    const std::atomic<HWND>& mainDialogWindow_;
    UpdateProgressDialog progress_;
    bool updateBalloonShown_ = false;
    bool postUpdateBalloonShown_ = false;
    std::wstring incompleteUpdateVersion_;
};
