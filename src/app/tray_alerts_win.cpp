#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

#include "alerts/alert_delivery.h"
#include "app/application_win.h"
#include "app/tray_window_win.h"
#include "res/resource.h"
#include "settings/app_settings.h"

namespace {

// Delivery's platform side: the tick counter, the tray icon's balloon and the sound.
class TrayAlertOutputs final : public AlertOutputs {
public:
    explicit TrayAlertOutputs(const TrayIcon& icon) : icon_(icon) {}

    uint32_t TickCount() override { return GetTickCount(); }

    void ShowBalloon(const BalloonText& balloon) override { icon_.ShowBalloon(balloon.Title, balloon.Text); }

    void PlaySoundFile(const std::wstring& path) override {
        PlaySoundW(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
    }

    // Handed to the log writer already, by the sink on the monitor thread (LogEveryAlert).
    void AppendLogLine(const std::wstring&, const AlertRecord&) override {}

private:
    const TrayIcon& icon_;
};

uint32_t ThrottleSec() {
    return appSettings.NotificationThrottleSec.load(std::memory_order_relaxed);
}

// Gathered alerts wait for the throttle to pass; the timer shows them then if no alert does.
void ArmBalloonFlush(Application& app) {
    if (app.tray.notifications.PendingCount == 0) {
        KillTimer(app.TrayWindow(), IDT_BALLOON_FLUSH);
        return;
    }
    const uint32_t waitMs = MsUntilBalloonFlush(app.tray.notifications, GetTickCount(), ThrottleSec());
    SetTimer(app.TrayWindow(), IDT_BALLOON_FLUSH, std::max<uint32_t>(waitMs, USER_TIMER_MINIMUM), nullptr);
}

}  // namespace

void DeliverQueuedAlerts(Application& app) {
    TrayAlertOutputs outputs(app.trayIcon);
    size_t dropped = 0;
    const auto rules = app.rules.Snapshot();
    for (const AlertRecord& record : app.alertSink.TakeQueued(dropped)) {
        DeliverAlertTo(record, appSettings, *rules, app.tray.notifications, outputs);
    }
    // Alerts the flood's bound kept from the tray still count in the next balloon's total.
    if (dropped > 0 && app.tray.notifications.PendingCount > 0) {
        app.tray.notifications.PendingCount += dropped;
    }
    ArmBalloonFlush(app);
}

void LogEveryAlert(Application& app) {
    app.alertSink.SetEveryAlert([&app](const AlertRecord& record) {
        const uint32_t actions = SelectAlertActions(appSettings.AlertActions.load(std::memory_order_relaxed),
                                                    *app.rules.Snapshot(), record.RuleId);
        const std::wstring path = appSettings.LogFilePath.Get();
        if ((actions & kActionLog) && !path.empty()) {
            app.alertLog.Add(path, record);
        }
    });
}

void FlushGatheredAlerts(Application& app) {
    if (const auto balloon = FlushBalloon(app.tray.notifications, GetTickCount(), ThrottleSec())) {
        app.trayIcon.ShowBalloon(balloon->Title, balloon->Text);
    }
    ArmBalloonFlush(app);
}
