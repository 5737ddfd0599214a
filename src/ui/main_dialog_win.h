#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "alerts/alert_history.h"
#include "base/shared_value.h"
#include "monitor/process_history.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"
#include "update/updater_win.h"

// What the main dialog works on. The application owns all of it for longer than any dialog runs.
struct MainDialogContext {
    RuleStore* rules = nullptr;
    std::atomic<bool>* paused = nullptr;
    // Takes UWM_CHECK_UPDATES, UWM_INSTALL_UPDATE, UWM_REARM_UPDATE_CHECK and UWM_EXIT; the dialog only posts to it.
    HWND trayWindow = nullptr;
    // Whether a newer version is known, and which; read only.
    const Updater* updates = nullptr;
    // Opens one more alert log window on a thread of its own.
    std::function<void()> openAlertLog;
    // The engine's per-process history, which the processes page shows; none leaves the page empty.
    const ProcessHistory* processHistory = nullptr;
    // The program's settings, which the settings page and menus read and change.
    AppSettings* settings = nullptr;
    // The recent alerts the recent alerts page shows.
    AlertHistoryStore* alertHistory = nullptr;
    // Where the dialog publishes its window while it exists, so other threads can post to it
    // (UWM_UPDATE_AVAILABLE, UWM_NO_UPDATE_FOUND).
    std::atomic<HWND>* openWindow = nullptr;
    // Why the metrics file could not be written last, which the settings page shows.
    const SharedValue<std::wstring>* metricsFileError = nullptr;
};

// Runs the main dialog (IDD_MAIN_DIALOG) modally with no owner until it is closed. It publishes its
// window in *context.openWindow while it exists.
void RunMainDialog(const MainDialogContext& context);
