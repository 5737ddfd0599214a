#pragma once

#include <windows.h>

#include "alerts/alert_delivery.h"
#include "alerts/alert_history.h"
#include "alerts/alert_log_writer.h"
#include "alerts/gui_alert_sink_win.h"
#include "app/tray_icon_win.h"
#include "rules/rule_store.h"
#include "settings/app_settings.h"

// The alerts' way from the sink to the user: on the monitor thread each alert's log line goes to the
// log writer; on the tray window's thread the queued alerts reach the history, the balloon and the
// sound, and gathered ones show once the throttle has passed.
class TrayAlerts {
public:
    TrayAlerts(GUIAlertSink& sink, const RuleStore& rules, const AppSettings& settings, AlertHistoryStore& history,
               AlertLogWriter& log, const TrayIcon& icon)
        : sink_(sink), rules_(rules), settings_(settings), history_(history), log_(log), icon_(icon) {}
    TrayAlerts(const TrayAlerts&) = delete;
    TrayAlerts& operator=(const TrayAlerts&) = delete;

    // Hands every alert's log line to the log writer as the sink receives it.
    void LogEveryAlert();
    // UWM_ALERT: delivers every alert the sink has queued, oldest first.
    void DeliverQueued(HWND trayWindow);
    // IDT_BALLOON_FLUSH: shows the alerts gathered during the throttle once it has passed.
    void FlushGathered(HWND trayWindow);
    // Alerts gathered for the next balloon.
    size_t PendingCount() const { return notifications_.PendingCount; }

private:
    uint32_t ThrottleSec() const;
    void ArmBalloonFlush(HWND trayWindow);

    GUIAlertSink& sink_;
    const RuleStore& rules_;
    const AppSettings& settings_;
    AlertHistoryStore& history_;
    AlertLogWriter& log_;
    const TrayIcon& icon_;
    AlertNotificationState notifications_;
};
