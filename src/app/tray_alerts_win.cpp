#include <windows.h>
#include <mmsystem.h>

#include "alerts/alert_delivery.h"
#include "app/application_win.h"
#include "app/tray_window_win.h"
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

}  // namespace

void DeliverQueuedAlerts(Application& app) {
    TrayAlertOutputs outputs(app.trayIcon);
    for (const AlertRecord& record : app.alertSink.TakeQueued()) {
        const auto rules = app.rules.Snapshot();
        DeliverAlertTo(record, appSettings, *rules, app.tray.notifications, outputs);
    }
}
