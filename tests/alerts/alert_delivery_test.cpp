#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/alert_delivery.h"
#include "alerts/alert_history.h"
#include "support/alert_test_support.h"
#include "support/test_folder.h"

namespace {

struct RecordingOutputs final : AlertOutputs {
    uint32_t TickCount() override { return 50000; }
    void ShowBalloon(const BalloonText& balloon) override { balloons.push_back(balloon); }
    void PlaySoundFile(const std::wstring& path) override { sounds.push_back(path); }
    std::vector<BalloonText> balloons;
    std::vector<std::wstring> sounds;
};

ThresholdRule RuleWithActions(uint32_t id, uint32_t actions) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.AlertActions = actions;
    return rule;
}

}  // namespace

TEST(AlertThrottle, GathersAlertsWithinTheIntervalIntoTheNextBalloon) {
    // The last balloon's tick starts at 0, so the first alert shows at once from tick 30000 on.
    AlertNotificationState state;
    const auto first = GatherBalloon(state, MakeAlert(10, L"a.exe", L"Handles: 6 > 5"), 30000, 30);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (BalloonText{L"Watchkeep Alert: a.exe (PID 10)", L"Handles: 6 > 5"}));

    // Three alerts within 30 s of it are gathered; the fourth, 30 s after it, shows all four.
    const uint32_t ticks[] = {30001, 45000, 59999, 60000};
    std::optional<BalloonText> gathered;
    for (uint32_t i = 0; i < 4; ++i) {
        gathered = GatherBalloon(state, MakeAlert(11 + i, L"b.exe", L"v" + std::to_wstring(i)), ticks[i], 30);
        EXPECT_EQ(gathered.has_value(), i == 3) << i;
    }
    ASSERT_TRUE(gathered);
    EXPECT_EQ(*gathered,
              (BalloonText{L"Watchkeep: 4 Alerts",
                           L"b.exe (PID 11): v0\nb.exe (PID 12): v1\nb.exe (PID 13): v2\nb.exe (PID 14): v3"}));
    EXPECT_TRUE(state.PendingNotifications.empty());
}

TEST(AlertThrottle, TickCounterWrapAndLongTexts) {
    AlertNotificationState state;
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(1), 29999, 30));  // before tick 30000 the first alert waits
    state.lastNotificationTick = 0xFFFFF000u;
    EXPECT_FALSE(GatherBalloon(state, MakeAlert(1), 0x500u, 30));  // 5376 ms later, across the wrap
    EXPECT_TRUE(GatherBalloon(state, MakeAlert(2), 0xFFFFF000u + 30000u, 30));

    // Nineteen gathered lines overflow the text field; the title still counts all twenty.
    std::wstring lines;
    for (uint32_t pid = 1; pid < 20; ++pid) {
        EXPECT_FALSE(GatherBalloon(state, MakeAlert(pid), 30000, 30));
        lines += L"p.exe (PID " + std::to_wstring(pid) + L"): Threads: 9 > 8\n";
    }
    const auto many = GatherBalloon(state, MakeAlert(20), 60000, 30);
    ASSERT_TRUE(many);
    EXPECT_EQ(*many, (BalloonText{L"Watchkeep: 20 Alerts", lines.substr(0, 255)}));

    const auto single = GatherBalloon(state, MakeAlert(7, std::wstring(100, L'n'), std::wstring(300, L'v')), 99000, 30);
    ASSERT_TRUE(single);
    EXPECT_EQ(*single, (BalloonText{L"Watchkeep Alert: " + std::wstring(46, L'n'), std::wstring(255, L'v')}));
}

TEST(AlertDelivery, TheRuleMaskReplacesTheGlobalOneAndEmptyPathsSwitchActionsOff) {
    TestFolder folder;
    const std::wstring log = folder.Path(L"alerts.log");
    AppSettings settings;
    settings.AlertActions = 7;
    settings.LogFilePath.Set(log);
    settings.SoundFilePath.Set(L"alarm.wav");
    // Only the first rule with an id counts.
    const RuleList rules = {RuleWithActions(1, 0), RuleWithActions(2, kActionLog | kActionSound),
                            RuleWithActions(2, 7)};
    AlertNotificationState state;
    RecordingOutputs outputs;
    AlertHistoryLock()->Clear();

    const AlertRecord silent = MakeAlert(100, L"silent.exe", L"v", 1);
    const AlertRecord logged = MakeAlert(200, L"logged.exe", L"v", 2);
    const AlertRecord orphan = MakeAlert(300, L"orphan.exe", L"v", 42);  // its rule was deleted: the global mask
    for (const AlertRecord& alert : {silent, logged, orphan}) {
        DeliverAlertTo(alert, settings, rules, state, outputs);
    }
    EXPECT_EQ(CopyAlertHistory(), (std::vector<AlertRecord>{silent, logged, orphan}));
    EXPECT_EQ(TestFolder::Read(log), FormatAlertLogLine(logged) + FormatAlertLogLine(orphan));
    EXPECT_EQ(outputs.sounds, (std::vector<std::wstring>{L"alarm.wav", L"alarm.wav"}));
    // Alerts without the balloon bit add no pending line: the orphan's balloon is a single one.
    ASSERT_EQ(outputs.balloons.size(), 1u);
    EXPECT_EQ(outputs.balloons[0].Title, L"Watchkeep Alert: orphan.exe (PID 300)");

    settings.LogFilePath.Set(L"");
    settings.SoundFilePath.Set(L"");
    DeliverAlertTo(orphan, settings, rules, state, outputs);
    EXPECT_EQ(TestFolder::Read(log), FormatAlertLogLine(logged) + FormatAlertLogLine(orphan));
    EXPECT_EQ(outputs.sounds.size(), 2u);
    EXPECT_EQ(CopyAlertHistory().size(), 4u);
}
