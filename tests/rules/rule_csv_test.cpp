#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "../support/trace_capture.h"
#include "rule_test_folder.h"
#include "rules/rule_store.h"

namespace {

constexpr std::string_view kHeader =
    "RuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,MaxUSER,"
    "AlertActions,CooldownSec\r\n";

std::string Bom() { return "\xEF\xBB\xBF"; }

}  // namespace

TEST(RulesCsv, SavesTheFixedFormatByteForByte) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::wstring path = folder.Path(L"rules.csv");

    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(RuleTestFolder::Read(path), Bom() + std::string(kHeader));

    ThresholdRule a;
    a.RuleId = 3;
    a.ProcessPattern = L"chrome.exe";
    a.MaxHandles = 5000;
    a.MaxWorkingSetBytes = 1572864;          // 1.5 MB exactly
    a.MaxPrivateBytes = 4096 * 1048576ull;   // 4 GiB
    a.MaxCPU = 95;
    a.MaxThreads = 1;
    a.MaxGDI = 2;
    a.MaxUSER = 3;
    a.AlertActions = 7;
    a.CooldownSec = 120;
    ThresholdRule b;
    b.RuleId = 10;
    b.ProcessPattern = L"caf\u00e9 *.exe";
    b.Enabled = false;
    b.MaxWorkingSetBytes = 1000000;  // rounds to 1.0
    b.MaxCPU = 12.25;                // an exact tie rounds to even, as printf does
    store.Add(a);
    store.Add(b);
    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(RuleTestFolder::Read(path), Bom() + std::string(kHeader) +
                                              "3,chrome.exe,1,5000,1.5,4096.0,95.0,1,2,3,7,120\r\n"
                                              "10,caf\xC3\xA9 *.exe,0,0,1.0,0.0,12.2,0,0,0,3,60\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Saved 2 rules to " + path));

    ASSERT_TRUE(store.Load(path));
    const auto rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 2u);
    EXPECT_EQ((*rules)[0], a);
    EXPECT_EQ((*rules)[1].MaxWorkingSetBytes, 1048576u);  // 1.0 MB back, not 1,000,000 bytes
    EXPECT_EQ((*rules)[1].MaxCPU, 12.2);
    EXPECT_EQ((*rules)[1].ProcessPattern, b.ProcessPattern);
    EXPECT_FALSE((*rules)[1].Enabled);
    EXPECT_EQ(store.NewRuleId(), 11u);  // past the highest id loaded, not 4
}

TEST(RulesCsv, LoadSkipsTheFirstLineAndDropsLinesWithoutThreeFields) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::string longPattern(255, 'x');
    const std::wstring path = folder.Write(
        L"rules.csv",
        "1,lost-first-line.exe,1\n"      // no header: the first rule is lost
        "7,notepad.exe,1\r\n"            // defaults for what the line does not supply
        "8,,1\n"                         // empty pattern
        "9,a,5x\n"                       // a pattern cut at a comma, then 5 read as Enabled
        "10,b,x\n"                       // Enabled does not match
        "11,only-two\n"
        "garbage\n"
        "\n"
        "12," + longPattern + ",0\n" +
        "13," + longPattern + "y,1\n"    // 256 characters: no comma after 255
        "14,w, 1, -1,-2.5,1e300, 5.5,4294967297,+3,-0,0,\n"
        "7,duplicate.exe,0");            // same id, no line break at the end
    ASSERT_TRUE(store.Load(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 5 rules from " + path));

    const auto rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 5u);
    ThresholdRule notepad;
    notepad.RuleId = 7;
    notepad.ProcessPattern = L"notepad.exe";
    EXPECT_EQ((*rules)[0], notepad);
    EXPECT_EQ((*rules)[1].ProcessPattern, L"a");
    EXPECT_TRUE((*rules)[1].Enabled);
    EXPECT_EQ((*rules)[2].ProcessPattern, std::wstring(255, L'x'));
    EXPECT_FALSE((*rules)[2].Enabled);

    const ThresholdRule& w = (*rules)[3];
    EXPECT_EQ(w.ProcessPattern, L"w");
    EXPECT_EQ(w.MaxHandles, 4294967295u);  // "%u" wraps a minus sign modulo 2^32
    EXPECT_EQ(w.MaxWorkingSetBytes, 0u);   // negative megabytes: no limit
    EXPECT_EQ(w.MaxPrivateBytes, std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(w.MaxCPU, 5.5);
    EXPECT_EQ(w.MaxThreads, 1u);
    EXPECT_EQ(w.MaxGDI, 3u);
    EXPECT_EQ(w.MaxUSER, 0u);
    EXPECT_EQ(w.AlertActions, 0u);
    EXPECT_EQ(w.CooldownSec, 60u);  // nothing after the last comma: default kept

    EXPECT_EQ((*rules)[4].ProcessPattern, L"duplicate.exe");
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"notepad.exe");  // the first of two with one id
    store.Remove(7);
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"duplicate.exe");
    EXPECT_EQ(store.NewRuleId(), 15u);
}

TEST(RulesCsv, ReadsWithOrWithoutMarkAndAcceptsLfOrCrLf) {
    RuleTestFolder folder;
    RuleStore store;
    const std::string body = "5,a.exe,1,0,0.1,0.0,0.0,0,0,0,3,60";
    for (const std::string& bytes : {Bom() + "header\r\n" + body + "\r\n", "header\n" + body + "\n",
                                     "header\n" + body, Bom() + "header\r\n" + body + "\r\r\n"}) {
        ASSERT_TRUE(store.Load(folder.Write(L"rules.csv", bytes)));
        ASSERT_EQ(store.Count(), 1u);
        EXPECT_EQ(store.FindById(5)->ProcessPattern, L"a.exe");
        EXPECT_EQ(store.FindById(5)->MaxWorkingSetBytes, 104857u);  // 0.1 MB truncated
    }
    // Non-finite megabytes are no limit.
    ASSERT_TRUE(store.Load(folder.Write(L"rules.csv", "h\n1,a,1,0,nan,-inf,0,0,0,0,3,60\n2,b,1,0,inf,1,0")));
    EXPECT_EQ(store.FindById(1)->MaxWorkingSetBytes, 0u);
    EXPECT_EQ(store.FindById(1)->MaxPrivateBytes, 0u);
    EXPECT_EQ(store.FindById(2)->MaxWorkingSetBytes, 0u);
    EXPECT_EQ(store.FindById(2)->MaxPrivateBytes, 1048576u);
}

// A physical line longer than 2047 characters is read in pieces, each a line of its own.
TEST(RulesCsv, LongLinesAreReadInPiecesOf2047Characters) {
    RuleTestFolder folder;
    RuleStore store;
    std::string first = "5,p,1,";
    first.append(2047 - first.size(), ' ');
    ASSERT_TRUE(store.Load(folder.Write(L"rules.csv", "h\n" + first + "9,q,0\n")));
    const auto rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 2u);
    EXPECT_EQ((*rules)[0].RuleId, 5u);
    EXPECT_EQ((*rules)[1].RuleId, 9u);
    EXPECT_FALSE((*rules)[1].Enabled);
}

// Patterns may hold commas and quotes (Windows file names do): they are written as quoted fields.
TEST(RulesCsv, PatternsWithCommasAndQuotesSurviveSaveAndLoad) {
    RuleTestFolder folder;
    RuleStore store;
    const std::wstring patterns[] = {L"a,b.exe", L"say \"hi\".exe", L"\"", L"\"lead", L",", L"x\u4e2d,\U0001F600"};
    for (const auto& pattern : patterns) {
        ThresholdRule rule;
        rule.RuleId = store.NewRuleId();
        rule.ProcessPattern = pattern;
        rule.MaxHandles = 42;
        store.Add(rule);
    }
    const std::wstring path = folder.Path(L"rules.csv");
    ASSERT_TRUE(store.Save(path));
    const std::string bytes = RuleTestFolder::Read(path);
    EXPECT_NE(bytes.find("\r\n1,\"a,b.exe\",1,42,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n2,\"say \"\"hi\"\".exe\",1,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n3,\"\"\"\",1,"), std::string::npos);

    const auto saved = store.Snapshot();
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(*store.Snapshot(), *saved);

    // Old files without quotes read as before: a quote that opens no well-formed field is text.
    ASSERT_TRUE(store.Load(folder.Write(L"old.csv", "h\n1,\"x,1\n2,\"y\"z,1\n3,\"\",1\n")));
    const auto rules = store.Snapshot();
    ASSERT_EQ(rules->size(), 3u);
    EXPECT_EQ((*rules)[0].ProcessPattern, L"\"x");
    EXPECT_EQ((*rules)[1].ProcessPattern, L"\"y\"z");
    EXPECT_EQ((*rules)[2].ProcessPattern, L"\"\"");
}

TEST(RulesCsv, FailuresLeaveAnEmptyListOrTheOldFile) {
    RuleTestFolder folder;
    TraceCapture trace;
    RuleStore store;
    ThresholdRule rule;
    rule.RuleId = 4;
    rule.ProcessPattern = L"kept.exe";
    store.Add(rule);

    const std::wstring missing = folder.Path(L"missing.csv");
    EXPECT_FALSE(store.Load(missing));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Could not open " + missing));
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.NewRuleId(), 1u);

    store.Add(rule);
    trace.Clear();
    EXPECT_FALSE(store.Load(folder.Write(L"empty.csv", "")));
    EXPECT_FALSE(store.Load(folder.Write(L"bom.csv", Bom())));
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_EQ(store.Count(), 0u);

    const std::wstring headerOnly = folder.Write(L"header.csv", "RuleId\r\n");
    EXPECT_TRUE(store.Load(headerOnly));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 0 rules from " + headerOnly));

    // The save cannot write its temporary file: the old file stays as it was.
    store.Add(rule);
    const std::wstring path = folder.Write(L"rules.csv", "old content");
    std::filesystem::create_directory(path + L".tmp");
    EXPECT_FALSE(store.Save(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Could not open " + path + L" for writing"));
    EXPECT_EQ(RuleTestFolder::Read(path), "old content");

    const std::wstring noFolder = folder.Path(L"no-such-folder") + L"/rules.csv";
    EXPECT_FALSE(store.Save(noFolder));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Could not open " + noFolder + L" for writing"));
    EXPECT_EQ(store.Count(), 1u);
}
