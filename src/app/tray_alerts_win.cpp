#include "app/tray_alerts_win.h"

#include <mmsystem.h>

#include <algorithm>

#include "res/resource.h"

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

}  // namespace

uint32_t TrayAlerts::ThrottleSec() const {
    return settings_.NotificationThrottleSec.load(std::memory_order_relaxed);
}

// Gathered alerts wait for the throttle to pass; the timer shows them then if no alert does.
void TrayAlerts::ArmBalloonFlush(HWND trayWindow) {
    if (notifications_.PendingCount == 0) {
        KillTimer(trayWindow, IDT_BALLOON_FLUSH);
        return;
    }
    const uint32_t waitMs = MsUntilBalloonFlush(notifications_, GetTickCount(), ThrottleSec());
    SetTimer(trayWindow, IDT_BALLOON_FLUSH, std::max<uint32_t>(waitMs, USER_TIMER_MINIMUM), nullptr);
}

void TrayAlerts::DeliverQueued(HWND trayWindow) {
    TrayAlertOutputs outputs(icon_);
    size_t dropped = 0;
    const auto rules = rules_.Snapshot();
    for (const AlertRecord& record : sink_.TakeQueued(dropped)) {
        DeliverAlertTo(record, settings_, *rules, history_, notifications_, outputs);
    }
    // Alerts the flood's bound kept from the tray still count in the next balloon's total.
    if (dropped > 0 && notifications_.PendingCount > 0) {
        notifications_.PendingCount += dropped;
    }
    ArmBalloonFlush(trayWindow);
}

void TrayAlerts::LogEveryAlert() {
    sink_.SetEveryAlert([this](const AlertRecord& record) {
        const uint32_t actions = SelectAlertActions(settings_.AlertActions.load(std::memory_order_relaxed),
                                                    *rules_.Snapshot(), record.RuleId);
        const std::wstring path = settings_.LogFilePath.Get();
        if ((actions & kActionLog) && !path.empty()) {
            log_.Add(path, record);
        }
    });
}

void TrayAlerts::FlushGathered(HWND trayWindow) {
    if (const auto balloon = FlushBalloon(notifications_, GetTickCount(), ThrottleSec())) {
        icon_.ShowBalloon(balloon->Title, balloon->Text);
    }
    ArmBalloonFlush(trayWindow);
}
