#include <gtest/gtest.h>

#include "rules/rule_json.h"
#include "support/test_support.h"

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

    store.Add({9, L"C:\\x\t\"q\".exe\u00e9\x01", false, 5000, 1572864, 4096 * kBytesPerMB, 95, 1, 2, 3, 7, 120});
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

    // Quotes, backslashes and braces are all legal in what export writes.
    store.Clear();
    for (const wchar_t* pattern : {L"a\"b", L"back\\slash\\", L"{braces}.exe", L"}",
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
        rule.RuleId += 7;  // fresh ids from the counter; limits rounded to one decimal
        rule.MaxWorkingSetBytes = kBytesPerMB;
        rule.MaxCPU = 33.3;
        expected.push_back(rule);
    }
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_NE(TestFolder::Read(path).find("\"cooldownSeconds\": 60\r\n    },\r\n    {\r\n"), std::string::npos);
    ASSERT_TRUE(store.ImportJson(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - Imported 7 rules from " + path));
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
        {"processPattern": "a{b}c \"\\\/\u00e9\uD83D\uDE00"},
        {"x": "\"processPattern\": \"no\"", "processPattern" : "lone \uD800 \q \u12", "processPattern": "2nd"},
        {"processPattern": "q", "maxWorkingSetMB": 1e300, "maxPrivateBytesMB": nan, "maxHandles": 1e30,
         "alertActions": -1e30, "maxThreads": 4294967297}
        ], "more": {"processPattern": "after", "nested": {"x": 1}, "maxHandles": 3}})");
    // Fields: id, pattern, enabled, handles, working set, private bytes, CPU, threads, GDI, USER,
    // actions, cooldown. Skipped objects take no id; the escapes decode to control characters,
    // which no pattern may hold.
    const RuleList expected = {{1, L"p", false, 5000, 524288, 0, 95.0, 4294967295u, 0, 1000, 3, 5},
                               {2, L"a{b}c \"\\/\u00e9\U0001F600", false},
                               {3, L"lone \uFFFD \\q \\u12", false},
                               {4, L"q", false, 0xFFFFFFFFu, UINT64_MAX, 0, 0, 1, 0, 0, 0},
                               // An object after the array still counts; it ends at the nested object's brace.
                               {5, L"after", false}};
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
