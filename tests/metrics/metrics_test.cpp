#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "base/utf8.h"
#include "metrics/metrics_publisher.h"
#include "support/test_support.h"

namespace {

// Two rules with one id (a loaded file can hold them), the first with every character the label
// format escapes and a non-ASCII one; a process name outside the BMP.
PassReport TwoRulesOneId() {
    PassReport report{1765000000.25, 0.0125, 30000};
    auto rules = std::make_shared<RuleList>(RuleList{
        {.RuleId = 7, .ProcessPattern = L"a\"b\\c\nd\u00e9*", .MaxWorkingSetBytes = 2048 * kBytesPerMB, .MaxThreads = 500},
        {.RuleId = 7, .ProcessPattern = L"x.exe", .Enabled = false, .MaxCPU = 12.5}});
    const ProcessSample over{42, L"\U0001F600 \"1\".exe", 3.5, 3072 * kBytesPerMB, 0, 0, 501};
    report.BeginMeasuring(rules, 300);
    report.Matched(0, (*rules)[0], over);
    report.Alerted(0, (*rules)[0], over);
    report.Matched(0, (*rules)[0], {43, L"p.exe", 0, kBytesPerMB, 0, 0, 10});
    return report;
}

std::string WithoutHelp(const std::string& text) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        kept += line.starts_with("# HELP ") ? "" : line + "\n";
    }
    return kept;
}

}  // namespace

TEST(MetricsText, FamiliesEscapingDuplicateIdsPausedAndNoRulesByteForByte) {
    const std::string a = R"(rule_id="7",pattern="a\"b\\c\nd)" "\xC3\xA9" R"(*")", b = R"(rule_id="7-2",pattern="x.exe")";
    const std::string v = R"({rule_id="7",process=")" "\xF0\x9F\x98\x80" R"( \"1\".exe",pid="42",counter=")";
    MetricsText text;
    EXPECT_EQ(WithoutHelp(text.Format(TwoRulesOneId())),
              "# TYPE watchkeep_up gauge\nwatchkeep_up 1\n"
              "# TYPE watchkeep_last_pass_timestamp_seconds gauge\nwatchkeep_last_pass_timestamp_seconds 1765000000.25\n"
              "# TYPE watchkeep_pass_duration_seconds gauge\nwatchkeep_pass_duration_seconds 0.0125\n"
              "# TYPE watchkeep_poll_interval_seconds gauge\nwatchkeep_poll_interval_seconds 30\n"
              "# TYPE watchkeep_processes gauge\nwatchkeep_processes 300\n"
              "# TYPE watchkeep_paused gauge\nwatchkeep_paused 0\n"
              "# TYPE watchkeep_rule_enabled gauge\nwatchkeep_rule_enabled{" + a + "} 1\nwatchkeep_rule_enabled{" + b + "} 0\n"
              "# TYPE watchkeep_rule_limit gauge\n"
              "watchkeep_rule_limit{" + a + ",counter=\"working_set_bytes\"} 2147483648\n"
              "watchkeep_rule_limit{" + a + ",counter=\"threads\"} 500\n"
              "watchkeep_rule_limit{" + b + ",counter=\"cpu_percent\"} 12.5\n"
              "# TYPE watchkeep_rule_matched_processes gauge\n"
              "watchkeep_rule_matched_processes{" + a + "} 2\nwatchkeep_rule_matched_processes{" + b + "} 0\n"
              "# TYPE watchkeep_rule_violating_processes gauge\n"
              "watchkeep_rule_violating_processes{" + a + "} 1\nwatchkeep_rule_violating_processes{" + b + "} 0\n"
              "# TYPE watchkeep_rule_max_value gauge\n"
              "watchkeep_rule_max_value{" + a + ",counter=\"working_set_bytes\"} 3221225472\n"
              "watchkeep_rule_max_value{" + a + ",counter=\"threads\"} 501\n"
              "# TYPE watchkeep_alerts_total counter\n"
              "watchkeep_alerts_total{" + a + ",counter=\"working_set_bytes\"} 1\n"
              "watchkeep_alerts_total{" + a + ",counter=\"threads\"} 1\n"
              "watchkeep_alerts_total{" + b + ",counter=\"cpu_percent\"} 0\n"
              "# TYPE watchkeep_violation_value gauge\n"
              "watchkeep_violation_value" + v + "working_set_bytes\"} 3221225472\n"
              "watchkeep_violation_value" + v + "threads\"} 501\n"
              "# TYPE watchkeep_violation_limit gauge\n"
              "watchkeep_violation_limit" + v + "working_set_bytes\"} 2147483648\n"
              "watchkeep_violation_limit" + v + "threads\"} 500\n");
    // Alerts add up from turn to turn; a paused turn measures nothing but keeps rules and counts.
    PassReport paused = TwoRulesOneId();
    paused.Findings.clear();
    paused.Paused = true;
    text.Format(TwoRulesOneId());
    const std::string pausedText = text.Format(paused);
    EXPECT_NE(pausedText.find("watchkeep_alerts_total{" + a + ",counter=\"threads\"} 2\n"), std::string::npos);
    EXPECT_NE(pausedText.find("watchkeep_paused 1\n"), std::string::npos);
    EXPECT_EQ(pausedText.find("watchkeep_rule_matched"), std::string::npos);
    EXPECT_EQ(pausedText.find("watchkeep_violation"), std::string::npos);
    EXPECT_EQ(text.Format({1.5, 0, 500, 0, false, std::make_shared<RuleList>()}),
              "# HELP watchkeep_up 1 while Watchkeep runs; the file is removed when it ends.\n"
              "# TYPE watchkeep_up gauge\nwatchkeep_up 1\n"
              "# HELP watchkeep_last_pass_timestamp_seconds Unix time of the monitor's last turn, paused turns included.\n"
              "# TYPE watchkeep_last_pass_timestamp_seconds gauge\nwatchkeep_last_pass_timestamp_seconds 1.5\n"
              "# HELP watchkeep_pass_duration_seconds How long the last turn took.\n"
              "# TYPE watchkeep_pass_duration_seconds gauge\nwatchkeep_pass_duration_seconds 0\n"
              "# HELP watchkeep_poll_interval_seconds Time between two turns of the monitor.\n"
              "# TYPE watchkeep_poll_interval_seconds gauge\nwatchkeep_poll_interval_seconds 0.5\n"
              "# HELP watchkeep_processes Processes seen in the last pass.\n"
              "# TYPE watchkeep_processes gauge\nwatchkeep_processes 0\n"
              "# HELP watchkeep_paused 1 while monitoring is paused.\n"
              "# TYPE watchkeep_paused gauge\nwatchkeep_paused 0\n");
}

// Written whole at the named path only; a failing streak traces once and shows its reason until a
// write succeeds; clearing or changing the setting, and Close, remove the file.
TEST(MetricsPublisher, WritesRetriesAndRemovesItsFile) {
    TestFolder folder;
    const std::wstring path = folder.Path(L"w.prom"), missing = folder.Path(L"missing/w.prom");
    AppSettings settings;
    SharedValue<std::wstring> error;
    MetricsPublisher publisher(&settings, &error);
    TraceCapture trace;
    const auto pass = [&](const std::wstring& to) {
        settings.MetricsFilePath.Set(to);
        publisher.OnPass(TwoRulesOneId());
    };
    pass(path);
    MetricsText expected;
    EXPECT_EQ(TestFolder::Read(path), expected.Format(TwoRulesOneId()));
    pass(missing);
    pass(missing);
    EXPECT_EQ(folder.Entries(), 0);
    EXPECT_EQ(error.Get(), L"Cannot write " + missing + L": " + Utf8ToWide(std::strerror(ENOENT)));
    pass(L"w.prom");
    EXPECT_EQ(error.Get(), L"Cannot write w.prom: not a full path");
    pass(path);
    EXPECT_EQ(error.Get(), L"");
    EXPECT_EQ(trace.Lines(), (std::vector<std::wstring>{L"MetricsPublisher::OnPass - Cannot write " + missing + L": " +
                                                            Utf8ToWide(std::strerror(ENOENT)),
                                                        L"MetricsPublisher::OnPass - Cannot write w.prom: not a full path",
                                                        L"MetricsPublisher::OnPass - Writing " + path + L" again"}));
    pass(L"");
    EXPECT_EQ(folder.Entries(), 0);
    pass(path);
    publisher.Close();
    pass(path);
    EXPECT_EQ(folder.Entries(), 0);
}
