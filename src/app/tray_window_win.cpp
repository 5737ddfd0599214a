#include "app/tray_window_win.h"

#include <shellapi.h>

#include <string>

#include "app/application_win.h"
#include "base/debug_trace.h"
#include "base/exception_barrier.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rules_path_win.h"
#include "settings/app_settings.h"
#include "settings/settings_store_win.h"
#include "update/version.h"

namespace {

void AddTrayIcon(Application& app, HWND window) {
    DebugTrace(L"UWM_ADD_ICON");
    app.trayIcon.Add(window, app.trayIconImage.get(), LoadStringResource(IDS_TRAY_TIP) + kDisplayVersion);
}

void RunTrayCommand(Application& app, HWND window, UINT command) {
    switch (command) {
    case IDM_OPEN: app.dialogs.OpenMainDialog(&app.mainDialog); break;
    case IDM_PAUSE_MONITORING:
        app.engine.paused.store(true, std::memory_order_relaxed);
        DebugTrace(L"Monitoring paused");
        break;
    case IDM_RESUME_MONITORING:
        app.engine.paused.store(false, std::memory_order_relaxed);
        DebugTrace(L"Monitoring resumed");
        break;
    case IDM_VIEW_ALERT_LOG: app.dialogs.OpenAlertLog(&app.mainDialog); break;
    case IDM_EXIT: DestroyWindow(window); break;
    default: break;
    }
}

void ShowTrayMenu(Application& app, HWND window) {
    HMENU popup = GetSubMenu(app.trayMenu.get(), 0);
    if (!popup) {
        return;
    }
    const bool paused = app.engine.paused.load(std::memory_order_relaxed);
    EnableMenuItem(popup, IDM_PAUSE_MONITORING, MF_BYCOMMAND | (paused ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(popup, IDM_RESUME_MONITORING, MF_BYCOMMAND | (paused ? MF_ENABLED : MF_GRAYED));
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    POINT cursor = {};
    GetCursorPos(&cursor);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr));
    SendMessageW(window, WM_NULL, 0, 0);
    RunTrayCommand(app, window, command);
}

void OnTrayCallback(Application& app, HWND window, LPARAM code) {
    switch (code) {
    case WM_LBUTTONUP: app.dialogs.OpenMainDialog(&app.mainDialog); break;
    case WM_RBUTTONUP: ShowTrayMenu(app, window); break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
        app.tray.updateBalloonShown = false;
        app.tray.postUpdateBalloonShown = false;
        break;
    case NIN_BALLOONUSERCLICK:
        if (app.tray.updateBalloonShown) {
            app.tray.updateBalloonShown = false;
            app.updates.StartInstall();
        } else if (app.tray.postUpdateBalloonShown) {
            app.tray.postUpdateBalloonShown = false;
        } else {
            app.dialogs.OpenMainDialog(&app.mainDialog);
        }
        break;
    default: break;
    }
}

void OnCreate(Application& app, HWND window) {
    if (app.tray.taskbarCreatedMessage == 0) {
        app.tray.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    }
    SetUpdateCheckTimer(window);
    PostMessageW(window, WM_TIMER, IDT_UPDATE_CHECK, 0);
    CheckUpdateFinished(app, window);
}

void OnDestroy(Application& app) {
    app.engine.Stop();
    app.metrics.Close();
    // Every line of an alert raised so far is in the log before the program ends.
    app.alertLog.Stop();
    SaveSettings();
    app.rules.SaveAtExit(GetRulesFilePath());
    app.trayIcon.Remove();
    // Alerts of a pass still running find no window and are dropped, not queued for nobody.
    app.alertSink.SetTarget(nullptr);
    PostQuitMessage(0);
}

}  // namespace

void SetUpdateCheckTimer(HWND window) {
    const uint64_t periodMs =
        static_cast<uint64_t>(appSettings.UpdateCheckIntervalHours.load(std::memory_order_relaxed)) * 3600000u;
    SetTimer(window, IDT_UPDATE_CHECK, static_cast<UINT>(periodMs < USER_TIMER_MAXIMUM ? periodMs : USER_TIMER_MAXIMUM),
             nullptr);
}

LRESULT HandleTrayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    Application* const application = ApplicationOf(window);
    if (!application) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    Application& app = *application;
    switch (message) {
    case WM_CREATE: OnCreate(app, window); return 0;
    case WM_DESTROY: OnDestroy(app); return 0;
    case WM_TIMER:
        if (wParam == IDT_UPDATE_CHECK) {
            PostMessageW(window, UWM_CHECK_UPDATES, 0, 0);
        } else if (wParam == IDT_BALLOON_FLUSH) {
            FlushGatheredAlerts(app);
        }
        return 0;
    case UWM_TRAY_CALLBACK: OnTrayCallback(app, window, lParam); return 0;
    case UWM_EXIT: DestroyWindow(window); return 0;
    case UWM_ADD_ICON: AddTrayIcon(app, window); return 0;
    case UWM_ALERT: DeliverQueuedAlerts(app); return 0;
    case UWM_SHOW_POST_UPDATE_NOTIFICATION: ShowPostUpdateBalloon(app); return 0;
    case UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION: ShowUpdateAvailableBalloon(app); return 0;
    case UWM_CHECK_UPDATES: StartUpdateCheck(app, wParam != 0); return 0;
    case UWM_UPDATE_CHECKED: HandleUpdateResult(app); return 0;
    case UWM_INSTALL_UPDATE: app.updates.StartInstall(); return 0;
    case UWM_UPDATE_INSTALL_FAILED: ReportInstallFailed(); return 0;
    case UWM_REARM_UPDATE_CHECK: SetUpdateCheckTimer(window); return 0;
    default:
        if (message != 0 && message == app.tray.taskbarCreatedMessage) {
            PostMessageW(window, UWM_ADD_ICON, 0, 0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(L"TrayWindowProc", LRESULT{0}, [&] { return HandleTrayMessage(window, message, wParam, lParam); });
}
