#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "monitor/pass_report.h"

// Turns each loop turn into the text of the metrics file (the Prometheus text exposition format:
// UTF-8, LF line ends, # HELP and # TYPE before each family's first sample) and keeps the alert
// counts since the program started. Only families with samples are written.
class MetricsText {
public:
    // The whole file for this turn; the text stays valid until the next call.
    const std::string& Format(const PassReport& report);

private:
    // The alert counts per rule (its rule_id and pattern labels) and counter.
    std::map<std::pair<std::string, std::string>, std::array<uint64_t, kCounterCount>> alertTotals_;
    std::string text_;
};

// A label value with backslash, double quote and line feed escaped, as the format asks.
std::string EscapeLabelValue(const std::wstring& value);
