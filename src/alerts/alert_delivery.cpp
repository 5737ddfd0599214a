#include "alerts/alert_delivery.h"

#include "alerts/alert_log.h"
#include "base/utf16.h"

uint32_t SelectAlertActions(uint32_t globalActions, const RuleList& rules, uint32_t ruleId) {
    for (const ThresholdRule& rule : rules) {
        if (rule.RuleId == ruleId) {
            return rule.AlertActions;
        }
    }
    return globalActions;
}

void AlertOutputs::AppendLogLine(const std::wstring& path, const AlertRecord& record) {
    AppendAlertLogLine(path, record);
}

namespace {

uint64_t ThrottleMs(uint32_t throttleSec) {
    return static_cast<uint64_t>(throttleSec) * 1000;
}

// Ticks since the last balloon, compared as a wrapping 32-bit difference.
uint32_t SinceLastBalloon(const AlertNotificationState& state, uint32_t nowTick) {
    return static_cast<uint32_t>(nowTick - state.lastNotificationTick);
}

size_t PendingTextUnits(const AlertNotificationState& state) {
    size_t units = 0;
    for (const std::wstring& line : state.PendingNotifications) {
        units += line.size() + 1;
    }
    return units;
}

BalloonText TakeBalloon(AlertNotificationState& state, uint32_t nowTick) {
    state.lastNotificationTick = nowTick;
    BalloonText balloon;
    if (state.PendingCount == 1) {
        const AlertRecord& record = state.FirstPending;
        balloon.Title = L"Watchkeep Alert: " + record.Process + L" (PID " + std::to_wstring(record.PID) + L")";
        balloon.Text = record.Violation;
    } else {
        balloon.Title = L"Watchkeep: " + std::to_wstring(state.PendingCount) + L" Alerts";
        for (const std::wstring& line : state.PendingNotifications) {
            if (!balloon.Text.empty()) {
                balloon.Text += L'\n';
            }
            balloon.Text += line;
        }
    }
    balloon.Title = CutToUtf16Units(balloon.Title, kBalloonTitleMaxChars);
    balloon.Text = CutToUtf16Units(balloon.Text, kBalloonTextMaxChars);
    state.PendingNotifications.clear();
    state.PendingCount = 0;
    return balloon;
}

}  // namespace

std::optional<BalloonText> GatherBalloon(AlertNotificationState& state, const AlertRecord& record, uint32_t nowTick,
                                         uint32_t throttleSec) {
    if (state.PendingCount++ == 0) {
        state.FirstPending = record;
    }
    // Lines past the balloon's text would be cut anyway: the count still says how many wait.
    if (PendingTextUnits(state) <= kBalloonTextMaxChars) {
        state.PendingNotifications.push_back(record.Process + L" (PID " + std::to_wstring(record.PID) + L"): " +
                                             record.Violation);
    }
    return FlushBalloon(state, nowTick, throttleSec);
}

std::optional<BalloonText> FlushBalloon(AlertNotificationState& state, uint32_t nowTick, uint32_t throttleSec) {
    if (state.PendingCount == 0 || SinceLastBalloon(state, nowTick) < ThrottleMs(throttleSec)) {
        return std::nullopt;
    }
    return TakeBalloon(state, nowTick);
}

uint32_t MsUntilBalloonFlush(const AlertNotificationState& state, uint32_t nowTick, uint32_t throttleSec) {
    const uint64_t since = SinceLastBalloon(state, nowTick);
    const uint64_t throttle = ThrottleMs(throttleSec);
    return state.PendingCount == 0 || since >= throttle ? 0 : static_cast<uint32_t>(throttle - since);
}

void DeliverAlertTo(const AlertRecord& record, const AppSettings& settings, const RuleList& rules,
                    AlertHistoryStore& history, AlertNotificationState& state, AlertOutputs& outputs) {
    AppendAlertHistory(history, record);
    const uint32_t actions =
        SelectAlertActions(settings.AlertActions.load(std::memory_order_relaxed), rules, record.RuleId);
    if (actions & kActionBalloon) {
        const auto balloon = GatherBalloon(state, record, outputs.TickCount(),
                                           settings.NotificationThrottleSec.load(std::memory_order_relaxed));
        if (balloon) {
            outputs.ShowBalloon(*balloon);
        }
    }
    if (actions & kActionLog) {
        const std::wstring logPath = settings.LogFilePath.Get();
        if (!logPath.empty()) {
            outputs.AppendLogLine(logPath, record);
        }
    }
    // A notice that a process is back under is no alarm: it never sounds.
    if ((actions & kActionSound) && !record.Recovery) {
        const std::wstring soundPath = settings.SoundFilePath.Get();
        if (!soundPath.empty()) {
            outputs.PlaySoundFile(soundPath);
        }
    }
}
