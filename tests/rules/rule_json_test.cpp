#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rules/rule_json.h"
#include "rules/rule_store.h"
#include "support/test_folder.h"
#include "support/trace_capture.h"

namespace {

RuleList Import(const std::string& json) {
    TestFolder folder;
    RuleStore store;
    EXPECT_TRUE(store.ImportJson(folder.Write(L"import.json", json)));
    return *store.Snapshot();
}

}  // namespace

TEST(RulesJson, ExportWritesTheFixedLayoutAndImportBringsEveryPatternBack) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::wstring path = folder.Path(L"export.json");
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(TestFolder::Read(path), "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n  ]\r\n}\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Exported 0 rules to " + path));

    store.Add({.RuleId = 9,
               .ProcessPattern = L"C:\\x\t\"q\".exe\u00e9\x01",
               .Enabled = false,
               .MaxHandles = 5000,
               .MaxWorkingSetBytes = 1572864,
               .MaxPrivateBytes = 4096 * kBytesPerMB,
               .MaxCPU = 95,
               .MaxThreads = 1,
               .MaxGDI = 2,
               .MaxUSER = 3,
               .AlertActions = 7,
               .CooldownSec = 120});
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(TestFolder::Read(path),
              "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n"
              "    {\r\n"
              "      \"processPattern\": \"C:\\\\x\\t\\\"q\\\".exe\xC3\xA9\\u0001\",\r\n"
              "      \"enabled\": false,\r\n"
              "      \"maxHandles\": 5000,\r\n"
              "      \"maxWorkingSetMB\": 1.5,\r\n"
              "      \"maxPrivateBytesMB\": 4096.0,\r\n"
              "      \"maxCPUPercent\": 95.0,\r\n"
              "      \"maxThreads\": 1,\r\n"
              "      \"maxGDIObjects\": 2,\r\n"
              "      \"maxUSERObjects\": 3,\r\n"
              "      \"alertActions\": 7,\r\n"
              "      \"cooldownSeconds\": 120\r\n"
              "    }\r\n"
              "  ]\r\n}\r\n");

    // Quotes, backslashes, braces and control characters are all legal in what export writes.
    store.Clear();
    for (const wchar_t* pattern : {L"a\"b", L"back\\slash\\", L"{braces}.exe", L"}", L"tab\tcr\rlf\n", L"\x01\x1f",
                                   L"caf\u00e9 \u4e2d\U0001F600", L"\"rules\": [{", L"/\\/"}) {
        const uint32_t id = store.NewRuleId();
        store.Add({.RuleId = id,
                   .ProcessPattern = pattern,
                   .Enabled = id % 2 == 0,
                   .MaxHandles = id,
                   .MaxWorkingSetBytes = 1000000,
                   .MaxCPU = 33.33});
    }
    RuleList expected = *store.Snapshot();
    for (ThresholdRule rule : *store.Snapshot()) {
        rule.RuleId += 9;  // fresh ids from the counter; limits rounded to one decimal
        rule.MaxWorkingSetBytes = kBytesPerMB;
        rule.MaxCPU = 33.3;
        expected.push_back(rule);
    }
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_NE(TestFolder::Read(path).find("\"cooldownSeconds\": 60\r\n    },\r\n    {\r\n"), std::string::npos);
    ASSERT_TRUE(store.ImportJson(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - Imported 9 rules from " + path));
    EXPECT_EQ(*store.Snapshot(), expected);
    EXPECT_EQ(JsonEscape(L"\\\"\n\r\t\b\f\x1f\u00e9/"), L"\\\\\\\"\\n\\r\\t\\u0008\\u000c\\u001f\u00e9/");
}

TEST(RulesJson, EnabledIsABareTrueWithAnyBlanksOrTheStringsTrueAndOne) {
    const RuleList rules = Import(R"({"rules":[{"processPattern":"a","enabled":true},
        {"processPattern": "b", "enabled" : true},
        {"processPattern": "c", "enabled":
            true},
        {"processPattern": "d", "enabled": "true"},
        {"processPattern": "e", "enabled": "1"},
        {"processPattern": "f", "enabled": false},
        {"processPattern": "g"},
        {"processPattern": "h", "enabled": "yes"},
        {"processPattern": "i", "enabled": "0", "enabled": true},
        {"processPattern": "j, \"enabled\": true"}]})");
    ASSERT_EQ(rules.size(), 10u);
    const bool expected[] = {true, true, true, true, true, false, false, false, true, false};
    for (size_t i = 0; i < rules.size(); ++i) {
        EXPECT_EQ(rules[i].Enabled, expected[i]) << i;
    }
}

// Unknown keys are ignored and the first of two equal keys counts; a key inside a string is text; a
// quoted number is no number; negative megabytes are no limit; counts saturate at the signed 64-bit
// range and keep 32 bits; unknown escapes and a lone surrogate half stay as text.
TEST(RulesJson, ImportReadsEscapesAndNumbersAndSkipsObjectsWithoutAPattern) {
    const RuleList rules = Import(
        "\xEF\xBB\xBF"
        R"({"meta": {"processPattern": "before"}, "rules": [
        {"cooldownSeconds": 5, "maxHandles": 5000.9, "maxWorkingSetMB": 0.5, "unknown": [1, 2], "maxCPUPercent": 95,
         "processPattern": "p", "maxThreads": -1, "maxGDIObjects": "7", "maxUSERObjects": 1e3, "maxHandles": 1,
         "maxPrivateBytesMB": -2},
        {"processPattern": ""}, {"enabled": true}, {"processPattern": 5},
        {"processPattern": "a{b}c \"\\\/\b\f\n\r\t\u00e9\uD83D\uDE00"},
        {"x": "\"processPattern\": \"no\"", "processPattern" : "lone \uD800 \q \u12", "processPattern": "2nd"},
        {"processPattern": "q", "maxWorkingSetMB": 1e300, "maxPrivateBytesMB": nan, "maxHandles": 1e30,
         "alertActions": -1e30, "maxThreads": 4294967297}
        ], "more": {"processPattern": "after", "nested": {"x": 1}, "maxHandles": 3}})");
    const RuleList expected = {
        {.RuleId = 1,
         .ProcessPattern = L"p",
         .Enabled = false,
         .MaxHandles = 5000,
         .MaxWorkingSetBytes = 524288,
         .MaxCPU = 95.0,
         .MaxThreads = 4294967295u,
         .MaxUSER = 1000,
         .CooldownSec = 5},
        // Skipped objects take no id.
        {.RuleId = 2, .ProcessPattern = L"a{b}c \"\\/\b\f\n\r\t\u00e9\U0001F600", .Enabled = false},
        {.RuleId = 3, .ProcessPattern = L"lone \uFFFD \\q \\u12", .Enabled = false},
        {.RuleId = 4,
         .ProcessPattern = L"q",
         .Enabled = false,
         .MaxHandles = 0xFFFFFFFFu,
         .MaxWorkingSetBytes = UINT64_MAX,
         .MaxThreads = 1,
         .AlertActions = 0},
        // An object after the array still counts; it ends at the nested object's brace.
        {.RuleId = 5, .ProcessPattern = L"after", .Enabled = false},
    };
    EXPECT_EQ(rules, expected);
}

TEST(RulesJson, FailedImportsTraceAndLeaveTheListAlone) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const ThresholdRule kept{.RuleId = store.NewRuleId(), .ProcessPattern = L"kept.exe"};
    store.Add(kept);
    const std::wstring missing = folder.Path(L"missing.json");
    EXPECT_FALSE(store.ImportJson(missing));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - Could not open " + missing));

    for (const char* json : {"", R"([{"processPattern": "x"}])", R"({"note": "a \"rules\" text"})"}) {
        trace.Clear();
        EXPECT_FALSE(store.ImportJson(folder.Write(L"none.json", json)));
        EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"RuleStore::ImportJson - No 'rules' array found"});
    }
    const std::wstring empty = folder.Path(L"empty.json");
    ASSERT_TRUE(RuleStore().ExportJson(empty));
    for (const std::wstring& path : {empty, folder.Write(L"nobraces.json", R"({"rules": []})"),
                                     folder.Write(L"unclosed.json", R"({"rules": [{"processPattern": "x")"),
                                     folder.Write(L"blank.json", R"({"rules": [{"processPattern": ""}]})")}) {
        EXPECT_FALSE(store.ImportJson(path));
        EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - No valid rules found in " + path));
    }
    EXPECT_EQ(*store.Snapshot(), RuleList{kept});
    EXPECT_EQ(store.NewRuleId(), 2u);

    const std::wstring unwritable = folder.Path(L"no-such-folder") + L"/export.json";
    EXPECT_FALSE(store.ExportJson(unwritable));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Could not open " + unwritable + L" for writing"));
}
