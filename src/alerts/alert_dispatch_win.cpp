#include "alerts/alert_dispatch.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>

#include "alerts/alert_delivery.h"
#include "app/tray_window_win.h"
#include "res/resource.h"

GUIAlertSink guiAlertSink;

namespace {

class TrayAlertOutputs final : public AlertOutputs {
public:
    uint32_t TickCount() override { return GetTickCount(); }

    void ShowBalloon(const BalloonText& balloon) override {
        ShowTrayBalloon(trayWindow, balloon.Title.c_str(), balloon.Text.c_str());
    }

    void PlaySoundFile(const std::wstring& path) override {
        PlaySoundW(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
    }
};

AlertNotificationState notificationState;

}  // namespace

int32_t GUIAlertSink::OnAlert(const AlertRecord& record) {
    // A null window would post to this thread's own queue, where nobody reads UWM_ALERT.
    if (!trayWindow) return 0;
    auto copy = std::make_unique<AlertRecord>(record);
    const BOOL posted = PostMessageW(trayWindow, UWM_ALERT, 0, reinterpret_cast<LPARAM>(copy.get()));
    if (posted) copy.release();
    return posted;
}

void DeliverAlert(const AlertRecord& record) {
    TrayAlertOutputs outputs;
    const auto rules = ruleStore.Snapshot();
    DeliverAlertTo(record, appSettings, *rules, notificationState, outputs);
}

void HandleAlertMessage(intptr_t lParam) {
    const std::unique_ptr<AlertRecord> record(reinterpret_cast<AlertRecord*>(lParam));
    if (record) DeliverAlert(*record);
}
