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
    for (const AlertRecord& record : app.alertSink.TakeQueued()) {
        const auto rules = app.rules.Snapshot();
        DeliverAlertTo(record, appSettings, *rules, app.tray.notifications, outputs);
    }
    ArmBalloonFlush(app);
}

void FlushGatheredAlerts(Application& app) {
    if (const auto balloon = FlushBalloon(app.tray.notifications, GetTickCount(), ThrottleSec())) {
        app.trayIcon.ShowBalloon(balloon->Title, balloon->Text);
    }
    ArmBalloonFlush(app);
}
