#include <gtest/gtest.h>

#include <string>

#include "rules/rule_csv.h"
#include "rules/rule_store.h"
#include "support/test_folder.h"
#include "support/trace_capture.h"

namespace {

const std::string kHeader = "\xEF\xBB\xBF" + std::string(kRulesCsvHeader) + "\r\n";

}  // namespace

// A line break in an imported pattern used to write a second, hidden rule into rules.csv.
TEST(RuleFileHardening, ImportRefusesPatternsRulesCsvCannotHoldAndTheRestLoadBackAsImported) {
    const std::wstring emoji = L"\U0001F600";
    const struct {
        std::wstring pattern;
        bool kept;
    } cases[] = {
        {L"harmless.exe\r\n4000000000,*,1,1,0,0,0,1,0,0,7,0", false},
        {L"lf\n.exe", false},
        {std::wstring(L"nul\0.exe", 8), false},
        {L"tab\t.exe", false},
        {std::wstring(256, L'x'), false},
        {std::wstring(254, L'x') + emoji, false},  // 255 characters, 256 UTF-16 units
        {std::wstring(255, L'x'), true},
        {std::wstring(253, L'x') + emoji, true},
        {L"a,\"b\" \u00e9.exe", true},
    };
    TestFolder folder;
    RuleStore exporter;
    RuleList expected;
    for (const auto& c : cases) {
        const ThresholdRule rule{.ProcessPattern = c.pattern, .MaxHandles = exporter.NewRuleId()};
        exporter.Add(rule);
        if (c.kept) {
            expected.push_back(rule);
            expected.back().RuleId = static_cast<uint32_t>(expected.size());
        }
    }
    const std::wstring json = folder.Path(L"export.json");
    const std::wstring csv = folder.Path(L"rules.csv");
    ASSERT_TRUE(exporter.ExportJson(json));
    RuleStore importer;
    ASSERT_TRUE(importer.ImportJson(json));
    EXPECT_EQ(*importer.Snapshot(), expected);
    ASSERT_TRUE(importer.Save(csv));
    RuleStore reloaded;
    ASSERT_TRUE(reloaded.Load(csv));
    EXPECT_EQ(*reloaded.Snapshot(), expected);

    TraceCapture trace;
    exporter.Clear();
    exporter.Add({.ProcessPattern = L"only\r\n.exe"});
    ASSERT_TRUE(exporter.ExportJson(json));
    EXPECT_FALSE(importer.ImportJson(json));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - No valid rules found in " + json));
    EXPECT_EQ(*importer.Snapshot(), expected);
}

// An id of 4294967295 (or -1) used to wrap the counter to 0, and new rules took ids in use.
TEST(RuleFileHardening, NewIdsAreNeverZeroNorHeldByALoadedRule) {
    for (const char* highest : {"4294967295", "-1"}) {
        SCOPED_TRACE(highest);
        TestFolder folder;
        RuleStore store;
        ASSERT_TRUE(store.Load(
            folder.Write(L"rules.csv", kHeader + highest + ",top.exe,1\r\n1,one.exe,1\r\n3,three.exe,1\r\n")));
        EXPECT_EQ(store.NewRuleId(), 2u);
        store.AddNewRules({{.ProcessPattern = L"new4.exe"}, {.ProcessPattern = L"new5.exe"}});
        store.Remove(4);
        const RuleList expected = {{.RuleId = 4294967295u, .ProcessPattern = L"top.exe"},
                                   {.RuleId = 1, .ProcessPattern = L"one.exe"},
                                   {.RuleId = 3, .ProcessPattern = L"three.exe"},
                                   {.RuleId = 5, .ProcessPattern = L"new5.exe"}};
        EXPECT_EQ(*store.Snapshot(), expected);
    }
}
