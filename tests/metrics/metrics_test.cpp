#include <gtest/gtest.h>

#include <cstring>
#include <regex>

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

// The samples alone; every family's # HELP and # TYPE lines must come right before them.
std::string Samples(const std::string& text) {
    const std::regex family("# HELP (\\w+) [^\n]+\n# TYPE \\1 (gauge|counter)\n");
    EXPECT_EQ(std::regex_replace(text, family, "").find('#'), std::string::npos) << text;
    return std::regex_replace(text, family, "$2 ");
}

}  // namespace

TEST(MetricsText, FamiliesEscapingDuplicateIdsPausedAndNoRulesByteForByte) {
    const std::string a = R"(rule_id="7",pattern="a\"b\\c\nd)" "\xC3\xA9" R"(*")", b = R"(rule_id="7-2",pattern="x.exe")";
    const std::string v = R"({rule_id="7",process=")" "\xF0\x9F\x98\x80" R"( \"1\".exe",pid="42",counter=")";
    const std::string globals = "gauge watchkeep_up 1\ngauge watchkeep_last_pass_timestamp_seconds 1765000000.25\n"
                                "gauge watchkeep_pass_duration_seconds 0.0125\ngauge watchkeep_poll_interval_seconds 30\n"
                                "gauge watchkeep_processes 300\ngauge watchkeep_paused ";
    const std::string rules = "\ngauge watchkeep_rule_enabled{" + a + "} 1\nwatchkeep_rule_enabled{" + b + "} 0\n"
                              "gauge watchkeep_rule_limit{" + a + ",counter=\"working_set_bytes\"} 2147483648\n"
                              "watchkeep_rule_limit{" + a + ",counter=\"threads\"} 500\n"
                              "watchkeep_rule_limit{" + b + ",counter=\"cpu_percent\"} 12.5\n";
    MetricsText text;
    EXPECT_EQ(Samples(text.Format(TwoRulesOneId())),
              globals + "0" + rules + "gauge watchkeep_rule_matched_processes{" + a + "} 2\nwatchkeep_rule_matched_processes{" + b + "} 0\n"
              "gauge watchkeep_rule_violating_processes{" + a + "} 1\nwatchkeep_rule_violating_processes{" + b + "} 0\n"
              "gauge watchkeep_rule_max_value{" + a + ",counter=\"working_set_bytes\"} 3221225472\n"
              "watchkeep_rule_max_value{" + a + ",counter=\"threads\"} 501\n"
              "counter watchkeep_alerts_total{" + a + ",counter=\"working_set_bytes\"} 1\n"
              "watchkeep_alerts_total{" + a + ",counter=\"threads\"} 1\n"
              "watchkeep_alerts_total{" + b + ",counter=\"cpu_percent\"} 0\n"
              "gauge watchkeep_violation_value" + v + "working_set_bytes\"} 3221225472\n"
              "watchkeep_violation_value" + v + "threads\"} 501\n"
              "gauge watchkeep_violation_limit" + v + "working_set_bytes\"} 2147483648\n"
              "watchkeep_violation_limit" + v + "threads\"} 500\n");
    // Alerts add up from turn to turn; a paused turn measures nothing but keeps the rules and counts.
    PassReport paused = TwoRulesOneId();
    paused.Findings.clear();
    paused.Paused = true;
    text.Format(TwoRulesOneId());
    EXPECT_EQ(Samples(text.Format(paused)),
              globals + "1" + rules + "counter watchkeep_alerts_total{" + a + ",counter=\"working_set_bytes\"} 2\n"
              "watchkeep_alerts_total{" + a + ",counter=\"threads\"} 2\n"
              "watchkeep_alerts_total{" + b + ",counter=\"cpu_percent\"} 0\n");
    paused.Rules = std::make_shared<RuleList>();
    EXPECT_EQ(Samples(text.Format(paused)), globals + "1\n");
}

// Written whole at the named path only; a failing streak traces once and shows its reason until a
// write succeeds; a changed or cleared setting, and Close, remove the file.
TEST(MetricsPublisher, WritesRetriesAndRemovesItsFile) {
    TestFolder folder;
    const std::wstring path = folder.Path(L"w.prom"), missing = folder.Path(L"missing/w.prom");
    const std::wstring noFolder = L"Cannot write " + missing + L": " + Utf8ToWide(std::strerror(ENOENT));
    const std::wstring relative = L"Cannot write w.prom: not a full path", op = L"MetricsPublisher::OnPass - ";
    AppSettings settings;
    SharedValue<std::wstring> error;
    MetricsPublisher publisher(&settings, &error);
    TraceCapture trace;
    std::vector<std::wstring> errors;
    const PassReport report{1.5, 0, 500};
    for (const std::wstring& to : {path, missing, missing, std::wstring(L"w.prom"), path, std::wstring(), path}) {
        settings.MetricsFilePath.Set(to);
        publisher.OnPass(report);
        errors.push_back(error.Get() + L"|" + std::to_wstring(folder.Entries()));
    }
    EXPECT_EQ(errors, (std::vector<std::wstring>{L"|1", noFolder + L"|0", noFolder + L"|0", relative + L"|0", L"|1",
                                                 L"|0", L"|1"}));
    EXPECT_EQ(trace.Lines(), (std::vector<std::wstring>{op + noFolder, op + relative, op + L"Writing " + path + L" again"}));
    EXPECT_EQ(TestFolder::Read(path), MetricsText().Format(report));
    publisher.Close();
    publisher.OnPass(report);
    EXPECT_EQ(folder.Entries(), 0);
}
