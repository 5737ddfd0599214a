#include "metrics/metrics_text.h"

#include <charconv>
#include <vector>

#include "base/utf8.h"

namespace {

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

constexpr Family kUp{"watchkeep_up", "gauge", "1 while Watchkeep runs; the file is removed when it ends."};
constexpr Family kLastPass{"watchkeep_last_pass_timestamp_seconds", "gauge",
                           "Unix time of the monitor's last turn, paused turns included."};
constexpr Family kPassDuration{"watchkeep_pass_duration_seconds", "gauge", "How long the last turn took."};
constexpr Family kPollInterval{"watchkeep_poll_interval_seconds", "gauge", "Time between two turns of the monitor."};
constexpr Family kProcesses{"watchkeep_processes", "gauge", "Processes seen in the last pass."};
constexpr Family kPaused{"watchkeep_paused", "gauge", "1 while monitoring is paused."};
constexpr Family kEnabled{"watchkeep_rule_enabled", "gauge", "1 when the rule is enabled."};
constexpr Family kLimit{"watchkeep_rule_limit", "gauge",
                        "The rule's limit per counter (bytes for memory, percent for CPU)."};
constexpr Family kMatched{"watchkeep_rule_matched_processes", "gauge", "Processes the rule matched in the last pass."};
constexpr Family kViolating{"watchkeep_rule_violating_processes", "gauge",
                            "Processes over one of the rule's limits in the last pass."};
constexpr Family kMaxValue{"watchkeep_rule_max_value", "gauge",
                           "The largest value of the counter among the processes the rule matched."};
constexpr Family kAlerts{"watchkeep_alerts_total", "counter",
                         "Alerts of the rule naming the counter since Watchkeep started."};
constexpr Family kViolationValue{"watchkeep_violation_value", "gauge", "The counter of a process over its limit."};
constexpr Family kViolationLimit{"watchkeep_violation_limit", "gauge", "The limit the process is over."};

// Writes one family's lines; its # HELP and # TYPE come with its first sample.
class FamilyWriter {
public:
    FamilyWriter(std::string& out, const Family& family) : out_(out), family_(family) {}
    void Add(const std::string& labels, double value) {
        if (!started_) {
            out_.append("# HELP ").append(family_.name).append(" ").append(family_.help).append("\n");
            out_.append("# TYPE ").append(family_.name).append(" ").append(family_.type).append("\n");
            started_ = true;
        }
        out_.append(family_.name);
        if (!labels.empty()) {
            out_.append("{").append(labels).append("}");
        }
        char number[32];
        // Shortest round-trip form, locale-free: 12.5, 3221225472, 1765000000.25.
        const auto end = std::to_chars(number, number + sizeof number, value).ptr;
        out_.append(" ").append(number, end).append("\n");
    }

private:
    std::string& out_;
    const Family& family_;
    bool started_ = false;
};

std::string Label(const char* name, const std::string& escapedValue) {
    return std::string(name).append("=\"").append(escapedValue).append("\"");
}

std::string WithCounter(const std::string& labels, size_t counter) {
    return labels + "," + Label("counter", CounterName(counter));
}

// Two rules may share an id (a loaded file can hold them): the second of an id in list order is
// labelled "<id>-2", the third "<id>-3", so no two rules ever write the same series.
std::vector<std::string> RuleIdLabels(const RuleList& rules) {
    std::map<uint32_t, unsigned> seen;
    std::vector<std::string> labels;
    for (const ThresholdRule& rule : rules) {
        const unsigned occurrence = ++seen[rule.RuleId];
        std::string label = std::to_string(rule.RuleId);
        if (occurrence > 1) {
            label.append("-").append(std::to_string(occurrence));
        }
        labels.push_back(std::move(label));
    }
    return labels;
}

}  // namespace

std::string EscapeLabelValue(const std::wstring& value) {
    std::string escaped;
    for (const char c : WideToUtf8(value)) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

const std::string& MetricsText::Format(const PassReport& report) {
    static const RuleList kNoRules;
    const RuleList& rules = report.Rules ? *report.Rules : kNoRules;
    const bool measured = !rules.empty() && report.Findings.size() == rules.size();
    const std::vector<std::string> ids = RuleIdLabels(rules);
    std::vector<std::string> ruleLabels;
    std::vector<std::array<uint64_t, kCounterCount>*> totals;
    for (size_t i = 0; i < rules.size(); ++i) {
        const std::string pattern = EscapeLabelValue(rules[i].ProcessPattern);
        ruleLabels.push_back(Label("rule_id", ids[i]) + "," + Label("pattern", pattern));
        totals.push_back(&alertTotals_[{ids[i], pattern}]);
        for (size_t counter = 0; measured && counter < kCounterCount; ++counter) {
            (*totals[i])[counter] += report.Findings[i].Alerts[counter];
        }
    }
    // Each (rule, counter) pair with a limit set, or for the alert counts also one that alerted before.
    const auto perLimit = [&](const Family& family, auto value, bool keepAlerted = false) {
        FamilyWriter writer(text_, family);
        for (size_t i = 0; i < rules.size(); ++i) {
            for (size_t counter = 0; counter < kCounterCount; ++counter) {
                if (CounterLimit(rules[i], counter) > 0.0 || (keepAlerted && (*totals[i])[counter] != 0)) {
                    writer.Add(WithCounter(ruleLabels[i], counter), value(i, counter));
                }
            }
        }
    };
    const auto perRule = [&](const Family& family, auto value) {
        FamilyWriter writer(text_, family);
        for (size_t i = 0; i < rules.size(); ++i) {
            writer.Add(ruleLabels[i], value(i));
        }
    };

    text_.clear();
    FamilyWriter(text_, kUp).Add("", 1);
    FamilyWriter(text_, kLastPass).Add("", report.TimeSeconds);
    FamilyWriter(text_, kPassDuration).Add("", report.DurationSeconds);
    FamilyWriter(text_, kPollInterval).Add("", report.PollIntervalMs / 1000.0);
    FamilyWriter(text_, kProcesses).Add("", report.ProcessCount);
    FamilyWriter(text_, kPaused).Add("", report.Paused ? 1 : 0);
    perRule(kEnabled, [&](size_t i) { return rules[i].Enabled ? 1.0 : 0.0; });
    perLimit(kLimit, [&](size_t i, size_t counter) { return CounterLimit(rules[i], counter); });
    if (measured) {
        perRule(kMatched, [&](size_t i) { return report.Findings[i].MatchedProcesses; });
        perRule(kViolating, [&](size_t i) { return report.Findings[i].ViolatingProcesses; });
        FamilyWriter maxValue(text_, kMaxValue);
        for (size_t i = 0; i < rules.size(); ++i) {
            for (size_t counter = 0; report.Findings[i].MatchedProcesses > 0 && counter < kCounterCount; ++counter) {
                if (CounterLimit(rules[i], counter) > 0.0) {
                    maxValue.Add(WithCounter(ruleLabels[i], counter), report.Findings[i].MaxValues[counter]);
                }
            }
        }
    }
    perLimit(
        kAlerts, [&](size_t i, size_t counter) { return static_cast<double>((*totals[i])[counter]); }, true);
    for (const bool limits : {false, true}) {
        FamilyWriter writer(text_, limits ? kViolationLimit : kViolationValue);
        for (size_t i = 0; measured && i < rules.size(); ++i) {
            for (const CounterViolation& violation : report.Findings[i].Violations) {
                writer.Add(Label("rule_id", ids[i]) + "," + Label("process", EscapeLabelValue(violation.Process)) + "," +
                               Label("pid", std::to_string(violation.ProcessId)) + "," +
                               Label("counter", CounterName(violation.CounterIndex)),
                           limits ? violation.Limit : violation.Value);
            }
        }
    }
    return text_;
}
