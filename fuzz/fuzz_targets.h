#pragma once

#include <cstddef>
#include <cstdint>

// The fuzz targets' checks, shared by the fuzzers and the core tests that replay their seed corpora
// (fuzz/corpus/<name>/): each takes any bytes and answers false when they break what it guards.
using FuzzCheck = bool (*)(const uint8_t* data, size_t size);

bool AlertLogFuzz(const uint8_t* data, size_t size);
bool ProcessListFuzz(const uint8_t* data, size_t size);
bool RulesCsvFuzz(const uint8_t* data, size_t size);
bool RulesJsonFuzz(const uint8_t* data, size_t size);
bool RulesRoundtripFuzz(const uint8_t* data, size_t size);
bool SettingsCodecFuzz(const uint8_t* data, size_t size);
bool Utf8Fuzz(const uint8_t* data, size_t size);
bool VersionTextFuzz(const uint8_t* data, size_t size);
bool WildcardMatchFuzz(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;
    FuzzCheck check;
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"alert_log_fuzz", AlertLogFuzz},         {"process_list_fuzz", ProcessListFuzz},
    {"rules_csv_fuzz", RulesCsvFuzz},         {"rules_json_fuzz", RulesJsonFuzz},
    {"rules_roundtrip_fuzz", RulesRoundtripFuzz}, {"settings_codec_fuzz", SettingsCodecFuzz},
    {"utf8_fuzz", Utf8Fuzz},                  {"version_text_fuzz", VersionTextFuzz},
    {"wildcard_match_fuzz", WildcardMatchFuzz},
};
