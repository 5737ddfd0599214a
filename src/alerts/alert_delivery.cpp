#include "alerts/alert_delivery.h"

#include "alerts/alert_history.h"
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

std::optional<BalloonText> GatherBalloon(AlertNotificationState& state, const AlertRecord& record, uint32_t nowTick,
                                         uint32_t throttleSec) {
    state.PendingNotifications.push_back(record.Process + L" (PID " + std::to_wstring(record.PID) + L"): " +
                                         record.Violation);
    const uint64_t throttleMs = static_cast<uint64_t>(throttleSec) * 1000;
    if (static_cast<uint32_t>(nowTick - state.lastNotificationTick) < throttleMs) {
        return std::nullopt;
    }
    state.lastNotificationTick = nowTick;

    BalloonText balloon;
    const size_t count = state.PendingNotifications.size();
    if (count == 1) {
        balloon.Title = L"Watchkeep Alert: " + record.Process + L" (PID " + std::to_wstring(record.PID) + L")";
        balloon.Text = record.Violation;
    } else {
        balloon.Title = L"Watchkeep: " + std::to_wstring(count) + L" Alerts";
        for (const std::wstring& line : state.PendingNotifications) {
            if (!balloon.Text.empty()) {
                balloon.Text += L'\n';
            }
            balloon.Text += line;
            if (balloon.Text.size() > kBalloonTextMaxChars) {
                break;  // the rest would be cut anyway
            }
        }
    }
    balloon.Title = CutToUtf16Units(balloon.Title, kBalloonTitleMaxChars);
    balloon.Text = CutToUtf16Units(balloon.Text, kBalloonTextMaxChars);
    state.PendingNotifications.clear();
    return balloon;
}

void DeliverAlertTo(const AlertRecord& record, const AppSettings& settings, const RuleList& rules,
                    AlertNotificationState& state, AlertOutputs& outputs) {
    AppendAlertHistory(record);
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
            AppendAlertLogLine(logPath, record);
        }
    }
    if (actions & kActionSound) {
        const std::wstring soundPath = settings.SoundFilePath.Get();
        if (!soundPath.empty()) {
            outputs.PlaySoundFile(soundPath);
        }
    }
}
