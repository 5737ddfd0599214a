#pragma once

#include <windows.h>

class Application;

// Window procedure of the tray window class "WATCHKEEPW": the hidden window, meeting point of all
// threads, created with its Application as the creation parameter.
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// (Re)arms the schedule timer with the period of UpdateCheckIntervalHours. Main thread.
void SetUpdateCheckTimer(HWND window);

// Updates (tray_updates_win.cpp): start a check; UWM_UPDATE_CHECKED: report its result;
// UWM_UPDATE_INSTALL_FAILED: the error box. At creation, the mark a previous run's update left, and
// the two balloons.
void StartUpdateCheck(Application& application, bool userAsked);
void HandleUpdateResult(Application& application);
void ReportInstallFailed();
void CheckUpdateFinished(Application& application, HWND window);
void ShowPostUpdateBalloon(Application& application);
void ShowUpdateAvailableBalloon(Application& application);

// UWM_ALERT (tray_alerts_win.cpp): delivers every alert the sink has queued, oldest first.
void DeliverQueuedAlerts(Application& application);
// IDT_BALLOON_FLUSH: shows the alerts gathered during the throttle once it has passed.
void FlushGatheredAlerts(Application& application);
// Hands every alert's log line to the log writer as the sink receives it.
void LogEveryAlert(Application& application);
