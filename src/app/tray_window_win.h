#pragma once

#include <windows.h>

#include "alerts/alert_log_writer.h"
#include "alerts/gui_alert_sink_win.h"
#include "app/dialog_threads_win.h"
#include "app/tray_alerts_win.h"
#include "app/tray_icon_win.h"
#include "app/tray_updates_win.h"
#include "metrics/metrics_publisher.h"
#include "monitor/monitor_engine_win.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"
#include "update/updater_win.h"

// What the tray window works on; the application owns all of it for longer than the window lives.
struct TrayWindowParts {
    AppSettings& settings;
    RuleStore& rules;
    MonitorEngine& engine;
    MetricsPublisher& metrics;
    AlertLogWriter& alertLog;
    GUIAlertSink& alertSink;
    Updater& updater;
    TrayIcon& icon;
    HICON iconImage;
    HMENU menu;
    DialogThreads& dialogs;
    TrayAlerts& alerts;
    TrayUpdates& updates;
};

// The hidden window of class IDC_WATCHKEEP, meeting point of all threads: one handler per message.
// The object sits in the window's user data from WM_NCCREATE to WM_NCDESTROY and outlives it.
class TrayWindowHandler {
public:
    explicit TrayWindowHandler(const TrayWindowParts& parts) : parts_(parts) {}
    // A window still open then answers its later messages without this object.
    ~TrayWindowHandler();
    TrayWindowHandler(const TrayWindowHandler&) = delete;
    TrayWindowHandler& operator=(const TrayWindowHandler&) = delete;

    // Creates the window with the class registered by RegisterTrayWindowClass; false when it cannot.
    bool Create(HINSTANCE instance);
    HWND Handle() const { return window_; }

    // The window procedure of the class.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnDestroy();
    void OnTimer(WPARAM id);
    void OnTrayCallback(LPARAM code);
    void OnAddIcon();
    void OnMenuCommand(UINT command);
    void ShowMenu();
    // (Re)arms the schedule timer with the period of UpdateCheckIntervalHours.
    void SetUpdateCheckTimer();

    TrayWindowParts parts_;
    HWND window_ = nullptr;
    UINT taskbarCreatedMessage_ = 0;
};
