#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/alert_delivery.h"
#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "alerts/temp_file.h"
#include "app/file_io.h"

namespace {

class RecordingOutputs final : public AlertOutputs {
public:
    uint32_t TickCount() override { return tick; }
    void ShowBalloon(const BalloonText& balloon) override { balloons.push_back(balloon); }
    void PlaySoundFile(const std::wstring& path) override { sounds.push_back(path); }

    uint32_t tick = 0;
    std::vector<BalloonText> balloons;
    std::vector<std::wstring> sounds;
};

AlertRecord Alert(uint32_t pid, std::wstring process, std::wstring violation, uint32_t ruleId = 1) {
    AlertRecord record;
    record.Time = {2024, 7, 0, 4, 18, 30, 0, 0};
    record.PID = pid;
    record.Process = std::move(process);
    record.RuleId = ruleId;
    record.Violation = std::move(violation);
    return record;
}

ThresholdRule RuleWithActions(uint32_t id, uint32_t actions) {
    ThresholdRule rule;
    rule.RuleId = id;
    rule.AlertActions = actions;
    return rule;
}

}  // namespace

TEST(AlertThrottle, GathersAlertsWithinTheIntervalIntoTheNextBalloon) {
    AlertNotificationState state;
    // The first alert after start shows at once once the tick count has reached the interval.
    auto first = GatherBalloon(state, Alert(10, L"a.exe", L"Handles: 6 > 5"), 30000, 30);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (BalloonText{L"Watchkeep Alert: a.exe (PID 10)", L"Handles: 6 > 5"}));
    EXPECT_EQ(state.lastNotificationTick, 30000u);
    EXPECT_TRUE(state.PendingNotifications.empty());

    EXPECT_FALSE(GatherBalloon(state, Alert(11, L"b.exe", L"v1"), 30001, 30));
    EXPECT_FALSE(GatherBalloon(state, Alert(12, L"c.exe", L"v2"), 45000, 30));
    EXPECT_FALSE(GatherBalloon(state, Alert(13, L"d.exe", L"v3"), 59999, 30));
    EXPECT_EQ(state.lastNotificationTick, 30000u);
    auto fourth = GatherBalloon(state, Alert(14, L"e.exe", L"v4"), 60000, 30);
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->Title, L"Watchkeep: 4 Alerts");
    EXPECT_EQ(fourth->Text, L"b.exe (PID 11): v1\nc.exe (PID 12): v2\nd.exe (PID 13): v3\ne.exe (PID 14): v4");
    EXPECT_EQ(state.lastNotificationTick, 60000u);
    EXPECT_TRUE(state.PendingNotifications.empty());

    // With a one-second throttle balloons can follow a second apart.
    EXPECT_TRUE(GatherBalloon(state, Alert(15, L"f.exe", L"v"), 61000, 1));
    EXPECT_FALSE(GatherBalloon(state, Alert(16, L"g.exe", L"v"), 61999, 1));

    AlertNotificationState early;
    EXPECT_FALSE(GatherBalloon(early, Alert(1, L"x.exe", L"v"), 29999, 30));
}

TEST(AlertThrottle, TickCounterWrapAndLongTexts) {
    AlertNotificationState state;
    state.lastNotificationTick = 0xFFFFF000u;
    EXPECT_FALSE(GatherBalloon(state, Alert(1, L"a.exe", L"v"), 0x00000500u, 30));  // 5376 ms later
    EXPECT_TRUE(GatherBalloon(state, Alert(2, L"b.exe", L"v"), 0xFFFFF000u + 30000u, 30));

    // A pending list beyond the text field keeps its full count in the title.
    state.lastNotificationTick = 100000;
    std::wstring joined;
    for (uint32_t pid = 1; pid <= 20; ++pid) {
        const AlertRecord record = Alert(pid, L"process" + std::to_wstring(pid) + L".exe", L"Handles: 7000 > 5000");
        joined += (pid > 1 ? L"\n" : L"") + record.Process + L" (PID " + std::to_wstring(pid) + L"): " + record.Violation;
        if (pid < 20) {
            EXPECT_FALSE(GatherBalloon(state, record, 100001, 30));
            continue;
        }
        auto balloon = GatherBalloon(state, record, 200000, 30);
        ASSERT_TRUE(balloon);
        EXPECT_EQ(balloon->Title, L"Watchkeep: 20 Alerts");
        EXPECT_EQ(balloon->Text, joined.substr(0, kBalloonTextMaxChars));
    }

    // A single alert's title and text are cut to the balloon's fields.
    auto single = GatherBalloon(state, Alert(7, std::wstring(100, L'n'), std::wstring(300, L'v')), 300000, 30);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->Title, (L"Watchkeep Alert: " + std::wstring(100, L'n')).substr(0, kBalloonTitleMaxChars));
    EXPECT_EQ(single->Text, std::wstring(kBalloonTextMaxChars, L'v'));
}

TEST(AlertActionsMask, RuleMaskReplacesTheGlobalOne) {
    const RuleList rules = {RuleWithActions(1, 0), RuleWithActions(2, kActionSound), RuleWithActions(2, 7)};
    EXPECT_EQ(SelectAlertActions(3, rules, 1), 0u);             // the rule's 0 is not combined
    EXPECT_EQ(SelectAlertActions(3, rules, 2), kActionSound);   // the first rule with the id
    EXPECT_EQ(SelectAlertActions(3, rules, 9), 3u);             // deleted rule: global mask
    EXPECT_EQ(SelectAlertActions(5, {}, 1), 5u);
}

class AlertDelivery : public ::testing::Test {
protected:
    AlertDelivery() : log_("alert_delivery") {
        settings_.LogFilePath.Set(log_.Path());
        settings_.SoundFilePath.Set(L"alarm.wav");
        AlertHistoryLock history;
        history->Clear();
    }
    ~AlertDelivery() override {
        AlertHistoryLock history;
        history->Clear();
    }
    std::string LogBytes() const {
        std::string bytes;
        ReadFileBytes(log_.Path(), bytes);
        return bytes;
    }
    TempFile log_;
    AppSettings settings_;
    AlertNotificationState state_;
    RecordingOutputs outputs_;
};

TEST_F(AlertDelivery, PerformsTheActionsOfTheMask) {
    const RuleList rules = {RuleWithActions(1, 0), RuleWithActions(2, kActionLog | kActionSound)};
    settings_.AlertActions = 7;
    outputs_.tick = 50000;

    const AlertRecord silent = Alert(100, L"silent.exe", L"v", 1);
    DeliverAlertTo(silent, settings_, rules, state_, outputs_);
    EXPECT_EQ(CopyAlertHistory(), std::vector<AlertRecord>{silent});  // history only
    EXPECT_TRUE(outputs_.balloons.empty());
    EXPECT_TRUE(outputs_.sounds.empty());
    EXPECT_EQ(LogBytes(), "");
    EXPECT_TRUE(state_.PendingNotifications.empty());

    const AlertRecord logged = Alert(200, L"logged.exe", L"Threads: 9 > 8", 2);
    DeliverAlertTo(logged, settings_, rules, state_, outputs_);
    EXPECT_EQ(LogBytes(), FormatAlertLogLine(logged));
    EXPECT_EQ(outputs_.sounds, std::vector<std::wstring>{L"alarm.wav"});
    EXPECT_TRUE(outputs_.balloons.empty());

    const AlertRecord orphan = Alert(300, L"orphan.exe", L"CPU: 99.0% > 50.0%", 42);  // rule deleted
    DeliverAlertTo(orphan, settings_, rules, state_, outputs_);
    ASSERT_EQ(outputs_.balloons.size(), 1u);
    EXPECT_EQ(outputs_.balloons[0].Title, L"Watchkeep Alert: orphan.exe (PID 300)");
    EXPECT_EQ(LogBytes(), FormatAlertLogLine(logged) + FormatAlertLogLine(orphan));
    EXPECT_EQ(outputs_.sounds.size(), 2u);
    EXPECT_EQ(CopyAlertHistory(), (std::vector<AlertRecord>{silent, logged, orphan}));

    // Empty paths switch the log line and the sound off whatever the mask says.
    settings_.LogFilePath.Set(L"");
    settings_.SoundFilePath.Set(L"");
    DeliverAlertTo(orphan, settings_, rules, state_, outputs_);
    EXPECT_EQ(LogBytes(), FormatAlertLogLine(logged) + FormatAlertLogLine(orphan));
    EXPECT_EQ(outputs_.sounds.size(), 2u);
    EXPECT_EQ(state_.PendingNotifications.size(), 1u);  // gathered: within the throttle
}
