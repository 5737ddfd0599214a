#pragma once

#include <windows.h>

#include <string>

#include "alerts/alert_delivery.h"
#include "alerts/alert_log_writer.h"
#include "alerts/gui_alert_sink_win.h"
#include "app/dialog_threads_win.h"
#include "app/tray_icon_win.h"
#include "base/win_handles.h"
#include "metrics/metrics_publisher.h"
#include "monitor/monitor_engine_win.h"
#include "rules/rule_store.h"
#include "update/updater_win.h"

// Main-thread state of the tray window and the update machinery.
struct TrayState {
    UINT taskbarCreatedMessage = 0;
    bool updateBalloonShown = false;
    bool postUpdateBalloonShown = false;
    // The progress window of a check the user asked for; its own procedure clears it on cancel.
    HWND updateProgressDialog = nullptr;
    // The version a previous run set out to install and that is not the one running; empty if none.
    std::wstring incompleteUpdateVersion;
    // Alerts gathered for the next balloon.
    AlertNotificationState notifications;
};

// The program's long-lived parts, made in start-up order and ended in the reverse order of the
// members below: the dialog threads first, then the engine, before the rules and the sink they
// use.
class Application {
public:
    explicit Application(HINSTANCE instance);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Hands over to a running instance (false), or loads settings, alerts and rules, creates the
    // tray window, adds the icon and starts monitoring (true).
    bool Start(bool startInTray);

    HWND TrayWindow() const { return trayWindow_; }

    HINSTANCE instance;
    RuleStore rules;
    AlertLogWriter alertLog;
    GUIAlertSink alertSink;
    // Told of every pass by the engine, so it outlives it.
    MetricsPublisher metrics;
    MonitorEngine engine;
    Updater updates;
    UniqueHMenu trayMenu;
    UniqueHIcon trayIconImage;
    TrayIcon trayIcon;
    TrayState tray;
    // What the main dialog works on; filled once the tray window exists.
    MainDialogContext mainDialog;
    DialogThreads dialogs;

private:
    HWND trayWindow_ = nullptr;
};

// The application a tray window was created for, or null before its creation.
Application* ApplicationOf(HWND trayWindow);
