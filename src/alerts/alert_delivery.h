#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "alerts/alert_history.h"
#include "monitor/alert_record.h"
#include "settings/app_settings.h"
#include "rules/rule_store.h"

// The balloon fields hold 64 and 256 characters with their terminating NUL.
inline constexpr size_t kBalloonTitleMaxChars = 63;
inline constexpr size_t kBalloonTextMaxChars = 255;

struct BalloonText {
    std::wstring Title;
    std::wstring Text;
    bool operator==(const BalloonText&) const = default;
};

// Alerts not yet shown in a balloon and the tick of the last alert balloon; main thread only.
// Only the lines a balloon can show are kept, however many alerts a long throttle gathers.
struct AlertNotificationState {
    std::vector<std::wstring> PendingNotifications;
    size_t PendingCount = 0;
    // The first waiting alert: the balloon is its own when no other joins it.
    AlertRecord FirstPending;
    uint32_t lastNotificationTick = 0;
};

// What delivery needs of the platform: the tick counter, the tray balloon and the sound.
class AlertOutputs {
public:
    virtual uint32_t TickCount() = 0;
    virtual void ShowBalloon(const BalloonText& balloon) = 0;
    virtual void PlaySoundFile(const std::wstring& path) = 0;
    // Appends the record's line to the log file at once.
    virtual void AppendLogLine(const std::wstring& path, const AlertRecord& record);

protected:
    ~AlertOutputs() = default;
};

// The first rule with the record's RuleId decides alone (also with 0); without one, the global mask.
uint32_t SelectAlertActions(uint32_t globalActions, const RuleList& rules, uint32_t ruleId);

// Adds the alert's line to the pending ones. Within throttleSec of the last balloon (ticks compared
// as a wrapping 32-bit difference) it stays pending; otherwise the balloon for all pending lines
// is returned and the pending list emptied.
std::optional<BalloonText> GatherBalloon(AlertNotificationState& state, const AlertRecord& record, uint32_t nowTick,
                                         uint32_t throttleSec);

// The balloon for the alerts still gathered once throttleSec have passed since the last balloon,
// so gathered alerts are shown even when no later alert comes; nullopt when none waits or the
// interval runs on.
std::optional<BalloonText> FlushBalloon(AlertNotificationState& state, uint32_t nowTick, uint32_t throttleSec);

// Milliseconds until FlushBalloon will show the gathered alerts (0: now, or none waits).
uint32_t MsUntilBalloonFlush(const AlertNotificationState& state, uint32_t nowTick, uint32_t throttleSec);

// The history, then the actions of the alert's mask: balloon (throttled), log line, sound (never for a
// recovery record).
void DeliverAlertTo(const AlertRecord& record, const AppSettings& settings, const RuleList& rules,
                    AlertHistoryStore& history, AlertNotificationState& state, AlertOutputs& outputs);
