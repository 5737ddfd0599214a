#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "../support/trace_capture.h"
#include "rule_test_folder.h"
#include "rules/rule_json.h"
#include "rules/rule_store.h"

namespace {

ThresholdRule Rule(const std::wstring& pattern) {
    ThresholdRule rule;
    rule.ProcessPattern = pattern;
    return rule;
}

// Imports `json` into an empty store and returns the list.
RuleList Import(const RuleTestFolder& folder, const std::string& json) {
    RuleStore store;
    EXPECT_TRUE(store.ImportJson(folder.Write(L"import.json", json)));
    return *store.Snapshot();
}

}  // namespace

TEST(RulesJson, ExportsTheFixedLayoutByteForByte) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::wstring path = folder.Path(L"export.json");
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(RuleTestFolder::Read(path), "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n  ]\r\n}\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Exported 0 rules to " + path));

    ThresholdRule a = Rule(L"C:\\x\t\"q\".exe");
    a.RuleId = 9;
    a.MaxHandles = 5000;
    a.MaxWorkingSetBytes = 1572864;
    a.MaxCPU = 95;
    a.CooldownSec = 120;
    ThresholdRule b = Rule(L"\u00e9\x01");
    b.Enabled = false;
    b.MaxPrivateBytes = 4096 * 1048576ull;
    b.MaxThreads = 1;
    b.MaxGDI = 2;
    b.MaxUSER = 3;
    b.AlertActions = 7;
    store.Add(a);
    store.Add(b);
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(RuleTestFolder::Read(path),
              "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n"
              "    {\r\n"
              "      \"processPattern\": \"C:\\\\x\\t\\\"q\\\".exe\",\r\n"
              "      \"enabled\": true,\r\n"
              "      \"maxHandles\": 5000,\r\n"
              "      \"maxWorkingSetMB\": 1.5,\r\n"
              "      \"maxPrivateBytesMB\": 0.0,\r\n"
              "      \"maxCPUPercent\": 95.0,\r\n"
              "      \"maxThreads\": 0,\r\n"
              "      \"maxGDIObjects\": 0,\r\n"
              "      \"maxUSERObjects\": 0,\r\n"
              "      \"alertActions\": 3,\r\n"
              "      \"cooldownSeconds\": 120\r\n"
              "    },\r\n"
              "    {\r\n"
              "      \"processPattern\": \"\xC3\xA9\\u0001\",\r\n"
              "      \"enabled\": false,\r\n"
              "      \"maxHandles\": 0,\r\n"
              "      \"maxWorkingSetMB\": 0.0,\r\n"
              "      \"maxPrivateBytesMB\": 4096.0,\r\n"
              "      \"maxCPUPercent\": 0.0,\r\n"
              "      \"maxThreads\": 1,\r\n"
              "      \"maxGDIObjects\": 2,\r\n"
              "      \"maxUSERObjects\": 3,\r\n"
              "      \"alertActions\": 7,\r\n"
              "      \"cooldownSeconds\": 60\r\n"
              "    }\r\n"
              "  ]\r\n}\r\n");
}

// Quotes, backslashes, braces and control characters are all legal in what export writes; each
// pattern must come back unchanged.
TEST(RulesJson, ExportThenImportDoublesTheListWithEveryPatternIntact) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::wstring patterns[] = {L"a\"b",  L"back\\slash\\", L"{braces}.exe", L"}", L"tab\tcr\rlf\n",
                                     L"\x01\x1f", L"caf\u00e9 \u4e2d\U0001F600", L"\"rules\": [{", L"/\\/"};
    for (const auto& pattern : patterns) {
        ThresholdRule rule = Rule(pattern);
        rule.RuleId = store.NewRuleId();
        rule.Enabled = rule.RuleId % 2 == 0;
        rule.MaxWorkingSetBytes = 1000000;  // comes back as 1.0 MB
        rule.MaxCPU = 33.33;
        rule.MaxHandles = rule.RuleId;
        store.Add(rule);
    }
    const RuleList before = *store.Snapshot();
    const std::wstring path = folder.Path(L"export.json");
    ASSERT_TRUE(store.ExportJson(path));
    ASSERT_TRUE(store.ImportJson(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - Imported 9 rules from " + path));

    const RuleList after = *store.Snapshot();
    ASSERT_EQ(after.size(), 2 * before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        ThresholdRule expected = before[i];
        expected.RuleId = static_cast<uint32_t>(before.size() + 1 + i);  // fresh ids from the counter
        expected.MaxWorkingSetBytes = 1048576;
        expected.MaxCPU = 33.3;
        EXPECT_EQ(after[before.size() + i], expected) << i;
    }
}

TEST(RulesJson, ReadsStringsWithTheirEscapes) {
    std::wstring value = L"untouched";
    EXPECT_TRUE(ReadJsonStringValue(LR"({"k": "\"\\\/\b\f\n\r\t\u00e9\uD83D\uDE00"})", L"k", value));
    EXPECT_EQ(value, L"\"\\/\b\f\n\r\t\u00e9\U0001F600");
    EXPECT_TRUE(ReadJsonStringValue(LR"({"k":"lone \uD800 \q \u12"})", L"k", value));
    EXPECT_EQ(value, L"lone \uFFFD \\q \\u12");  // unknown escapes stay as they stand
    EXPECT_TRUE(ReadJsonStringValue(LR"({"x": "\"k\": \"no\"", "k" : "yes", "k": "second"})", L"k", value));
    EXPECT_EQ(value, L"yes");  // a key inside a string is text; the first real key counts
    EXPECT_TRUE(ReadJsonStringValue(LR"({"k": ""})", L"k", value));
    EXPECT_EQ(value, L"");

    value = L"untouched";
    EXPECT_FALSE(ReadJsonStringValue(LR"({"k": 5, "j": "x"})", L"k", value));
    EXPECT_FALSE(ReadJsonStringValue(LR"({"j": "k"})", L"k", value));
    EXPECT_FALSE(ReadJsonStringValue(LR"({"k": "unterminated)", L"k", value));
    EXPECT_EQ(value, L"untouched");

    EXPECT_EQ(JsonEscape(L"\\\"\n\r\t\b\f\x1f\u00e9/"), L"\\\\\\\"\\n\\r\\t\\u0008\\u000c\\u001f\u00e9/");
}

TEST(RulesJson, EnabledIsABareTrueWithAnyBlanksOrTheStringsTrueAndOne) {
    RuleTestFolder folder;
    const RuleList rules = Import(folder, R"({"rules":[{"processPattern":"a","enabled":true},
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

TEST(RulesJson, NumbersAreTruncatedConvertedAndSaturated) {
    RuleTestFolder folder;
    RuleList rules = Import(folder, "\xEF\xBB\xBF{\"rules\": [{\"cooldownSeconds\": 5, \"maxHandles\": 5000.9,"
                                    " \"maxWorkingSetMB\": 0.5, \"unknown\": [1, 2], \"maxCPUPercent\": 95,"
                                    " \"processPattern\": \"p\", \"maxThreads\": -1, \"maxGDIObjects\": \"7\","
                                    " \"maxUSERObjects\": 1e3, \"maxHandles\": 1, \"maxPrivateBytesMB\": -2}]}");
    ASSERT_EQ(rules.size(), 1u);
    ThresholdRule expected = Rule(L"p");
    expected.RuleId = 1;
    expected.Enabled = false;
    expected.MaxHandles = 5000;  // the first occurrence counts
    expected.MaxWorkingSetBytes = 524288;
    expected.MaxCPU = 95.0;
    expected.MaxThreads = 4294967295u;
    expected.MaxGDI = 0;  // a quoted number is no number
    expected.MaxUSER = 1000;
    expected.MaxPrivateBytes = 0;  // negative: no limit
    expected.CooldownSec = 5;
    EXPECT_EQ(rules[0], expected);

    rules = Import(folder, R"({"rules": [{"processPattern": "q", "maxWorkingSetMB": 1e300, "maxPrivateBytesMB": nan,
        "maxHandles": 1e30, "alertActions": -1e30, "maxThreads": 4294967297}]})");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].MaxWorkingSetBytes, std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(rules[0].MaxPrivateBytes, 0u);
    EXPECT_EQ(rules[0].MaxHandles, 0xFFFFFFFFu);  // saturates at the signed 64-bit maximum, low 32 bits
    EXPECT_EQ(rules[0].AlertActions, 0u);
    EXPECT_EQ(rules[0].MaxThreads, 1u);
    EXPECT_EQ(rules[0].AlertActions, 0u);
    EXPECT_EQ(rules[0].CooldownSec, 60u);
}

TEST(RulesJson, ObjectsWithoutAPatternAreSkippedAndLaterObjectsStillRead) {
    RuleTestFolder folder;
    const RuleList rules = Import(folder, R"({"meta": {"processPattern": "before"}, "rules": [
        {"processPattern": ""}, {"enabled": true}, {"processPattern": 5}, {"processPattern": "a{b}c"}
        ], "more": {"processPattern": "after", "nested": {"x": 1}, "maxHandles": 3}})");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].ProcessPattern, L"a{b}c");
    EXPECT_EQ(rules[0].RuleId, 1u);  // skipped objects use no id
    EXPECT_EQ(rules[1].ProcessPattern, L"after");
    EXPECT_EQ(rules[1].MaxHandles, 0u);  // the object ended at the nested object's brace
}

TEST(RulesJson, FailedImportsTraceAndLeaveTheListAlone) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    ThresholdRule kept = Rule(L"kept.exe");
    kept.RuleId = store.NewRuleId();
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
    RuleStore().ExportJson(empty);
    for (const std::wstring& path : {empty, folder.Write(L"nobraces.json", R"({"rules": []})"),
                                     folder.Write(L"unclosed.json", R"({"rules": [{"processPattern": "x")"),
                                     folder.Write(L"blank.json", R"({"rules": [{"processPattern": ""}]})")}) {
        trace.Clear();
        EXPECT_FALSE(store.ImportJson(path));
        EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - No valid rules found in " + path));
    }
    ASSERT_EQ(store.Count(), 1u);
    EXPECT_EQ(*store.FindById(1), kept);
    EXPECT_EQ(store.NewRuleId(), 2u);

    const std::wstring unwritable = folder.Path(L"no-such-folder") + L"/export.json";
    EXPECT_FALSE(store.ExportJson(unwritable));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Could not open " + unwritable + L" for writing"));
}
