#pragma once

#include <windows.h>

#include <atomic>

#include "alerts/alert_history.h"
#include "alerts/alert_log_writer.h"
#include "alerts/gui_alert_sink_win.h"
#include "app/dialog_threads_win.h"
#include "app/tray_alerts_win.h"
#include "app/tray_icon_win.h"
#include "app/tray_updates_win.h"
#include "app/tray_window_win.h"
#include "base/handles_win.h"
#include "metrics/metrics_publisher.h"
#include "monitor/monitor_engine_win.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"
#include "ui/main_dialog_win.h"
#include "update/updater_win.h"

// The program's long-lived parts, made in start-up order, wired to each other here and ended in
// the reverse order of the members below: the tray window's handler and the dialog threads first,
// then the engine, before the rules and the sink they use.
class Application {
public:
    explicit Application(HINSTANCE instance);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Hands over to a running instance (false), or loads settings, alerts and rules, creates the
    // tray window, adds the icon and starts monitoring (true).
    bool Start(bool startInTray);

    HWND TrayWindow() const { return window_.Handle(); }
    // For the message loop: true when the message went to the modeless update progress dialog
    // (Escape is its Cancel).
    bool TakeDialogMessage(MSG& message);

    // The parts the in-process tests drive and look at.
    AppSettings& Settings() { return settings_; }
    RuleStore& Rules() { return rules_; }
    MonitorEngine& Engine() { return engine_; }
    HWND MainDialogWindow() const { return mainDialogWindow_.load(); }
    AlertHistoryStore& AlertHistory() { return alertHistory_; }
    GUIAlertSink& AlertSink() { return alertSink_; }
    Updater& Updates() { return updater_; }
    const TrayAlerts& Alerts() const { return alerts_; }
    TrayUpdates& UpdateReports() { return updates_; }

private:
    // The settings, the recent alerts and the open main dialog, handed to every part that needs them.
    AppSettings settings_;
    AlertHistoryStore alertHistory_;
    std::atomic<HWND> mainDialogWindow_{nullptr};
    HINSTANCE instance_;
    RuleStore rules_;
    AlertLogWriter alertLog_;
    GUIAlertSink alertSink_;
    UniqueHMenu trayMenu_;
    UniqueHIcon trayIconImage_;
    TrayIcon trayIcon_;
    // The sink hands it every alert on the monitor thread, so it outlives the engine.
    TrayAlerts alerts_{alertSink_, rules_, settings_, alertHistory_, alertLog_, trayIcon_};
    // Told of every pass by the engine, so it outlives it.
    SharedValue<std::wstring> metricsFileError_;
    MetricsPublisher metrics_{&settings_, &metricsFileError_};
    MonitorEngine engine_;
    Updater updater_{settings_};
    TrayUpdates updates_{updater_, trayIcon_, mainDialogWindow_};
    // What the main dialog works on; its tray window is filled once that exists.
    MainDialogContext mainDialog_;
    DialogThreads dialogs_{mainDialog_};
    TrayWindowHandler window_;
};
