#include <gtest/gtest.h>

#include <thread>

#include "rules/rule_csv.h"
#include "rules/rule_json.h"
#include "support/test_support.h"
#ifdef _WIN32
#include "base/handles_win.h"
#endif

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader =
    "RuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,MaxUSER,"
    "AlertActions,CooldownSec,SustainSec\r\n";

class RuleFiles : public ::testing::Test {
protected:
    RuleList Import(const std::string& json) {
        EXPECT_TRUE(store.ImportJson(folder.Write(L"import.json", json)));
        return *store.Snapshot();
    }
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
};
using RulesCsv = RuleFiles;
using RulesJson = RuleFiles;

}  // namespace

TEST_F(RulesCsv, SavesTheFixedFormatByteForByteAndReadsItBack) {
    const std::wstring path = folder.Path(L"rules.csv");
    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(TestFolder::Read(path), kBom + kHeader);
    const ThresholdRule a{3, L"chrome.exe", true, 5000, 1572864, 4096 * kBytesPerMB, 95, 1, 2, 3, 15, 120, 45};
    // Windows file names may hold commas and quotes: such a pattern is written as a quoted field.
    // 1,000,000 bytes round to 1.0 MB; 12.25 is an exact tie and rounds to even, as printf does.
    ThresholdRule b{10, L"\"caf\u00e9, \"x\".exe\"", false, 0, 1000000, 0, 12.25};
    const ThresholdRule c{.RuleId = 4, .ProcessPattern = L"\"q\""};  // would read back as q unquoted
    for (const ThresholdRule& rule : {a, b, c}) {
        store.Add(rule);
    }
    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(TestFolder::Read(path), kBom + kHeader +
                                          "3,chrome.exe,1,5000,1.5,4096.0,95.0,1,2,3,15,120,45\r\n"
                                          "10,\"\"\"caf\xC3\xA9, \"\"x\"\".exe\"\"\",0,0,1.0,0.0,12.2,0,0,0,3,60,0\r\n"
                                          "4,\"\"\"q\"\"\",1,0,0.0,0.0,0.0,0,0,0,3,60,0\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Saved 3 rules to " + path));
    ASSERT_TRUE(store.Load(path));
    b.MaxWorkingSetBytes = kBytesPerMB;
    b.MaxCPU = 12.2;
    EXPECT_EQ(*store.Snapshot(), (RuleList{a, b, c}));
    // A stale "rules.csv.tmp" (here a folder) used to fail every save without a word.
    std::filesystem::create_directory(path + L".tmp");
    EXPECT_TRUE(store.Save(path) && store.Save(path));
    EXPECT_EQ(folder.Entries(), 2);  // the file and the stale folder: no temporary file is left behind
    const std::wstring unwritable = folder.Path(L"no-such-folder") + L"/rules.csv";
    EXPECT_FALSE(store.SaveAtExit(unwritable));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Could not open " + unwritable + L" for writing"));
}

TEST_F(RulesCsv, LoadSkipsTheFirstLineAndKeepsWhatEachLineMatches) {
    const std::string x255(255, 'x');
    const std::wstring path =
        folder.Write(L"rules.csv",
                     "1,lost-first-line.exe,1\n"               // no header: the first rule is lost
                     "7,notepad.exe,1\r\n"                     // defaults for what the line lacks
                     "8,,1\n10,b,x\n11,only-two\ngarbage\n\n"  // fewer than three fields: dropped
                     "9,a,5x\n"                                // the pattern ends at a comma: Enabled 5
                     "12," +
                         x255 + ",0\n13," + x255 + "y,1\n13," + x255.substr(1) +
                         "\xF0\x9F\x98\x80,1\n" +  // no comma after 255 UTF-16 units: dropped
                         "21,\"a," + x255.substr(2) + "\",1\n22,\"a," + x255.substr(1) + "\",1\n" +  // quoted too
                         "14,w, 1, -1,-2.5,1e300, 5.5,4294967297,+3,-0,0,\n"  // "%u" rules; a trailing comma keeps 60
                         "15,n,1,0,nan,inf,7.5\n"                             // non-finite megabytes: no limit
                         "16,t,1,0,0.1\r\r\n"                                 // 0.1 MB truncated to bytes
                         "17,\"x,1\n18,\"y\"z,1\n19,\"\",1\n"                 // a quote opening no quoted field is text
                         "5,p,1," +
                         std::string(2041, ' ') + "9,q,0\n" +   // 2047 characters at most form a line
                         "20,s,1,0,0,0,0,0,0,0,11,60,30,9\n" +  // SustainSec; a later version's columns ignored
                         "-1,top.exe,1\n7,duplicate.exe,0");    // no line break at the end
    ASSERT_TRUE(store.Load(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 15 rules from " + path));
    // Fields in file order. A minus sign wraps modulo 2^32, out-of-range values saturate first;
    // negative megabytes are no limit and huge ones saturate.
    const RuleList expected = {{7, L"notepad.exe"},
                               {9, L"a"},
                               {12, std::wstring(255, L'x'), false},
                               {21, L"a," + std::wstring(253, L'x')},
                               {14, L"w", true, 4294967295u, 0, UINT64_MAX, 5.5, 1, 3, 0, 0},
                               {15, L"n", true, 0, 0, 0, 7.5},
                               {16, L"t", true, 0, 104857},
                               {17, L"\"x"},
                               {18, L"\"y\"z"},
                               {19, L"\"\""},
                               {5, L"p"},
                               {9, L"q", false},
                               {20, L"s", true, 0, 0, 0, 0, 0, 0, 0, 11, 60, 30},
                               {4294967295u, L"top.exe"},
                               {7, L"duplicate.exe", false}};
    EXPECT_EQ(*store.Snapshot(), expected);
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"notepad.exe");  // the first of two with one id
    store.Remove(7);
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"duplicate.exe");
    // The id -1 wrapped the counter: new ids skip 0 and ids in use.
    std::wstring ids;
    for (int i = 0; i < 5; ++i) {
        ids += std::to_wstring(store.NewRuleId()) + L" ";
    }
    EXPECT_EQ(ids, L"1 2 3 4 6 ");
    // Old Mac line ends: each CR ends a record.
    RuleList crOnly;
    size_t dropped = 0;
    ASSERT_TRUE(ParseRulesCsv(kBom + "header\r1,a.exe,1\r2,caf\xC3\xA9.exe,0,7\r", crOnly, dropped));
    EXPECT_EQ(crOnly, (RuleList{{1, L"a.exe"}, {2, L"caf\u00e9.exe", false, 7}}));
}

TEST_F(RulesCsv, FailedLoadsLeaveAnEmptyList) {
    const std::wstring missing = folder.Path(L"missing.csv");
    // Only a missing file is traced: one without a first line is not.
    for (const std::wstring& path : {missing, folder.Write(L"empty.csv", ""), folder.Write(L"bom.csv", kBom)}) {
        store.Add({.RuleId = 4, .ProcessPattern = L"kept.exe"});
        EXPECT_FALSE(store.Load(path));
        EXPECT_EQ(store.Count(), 0u);
    }
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"RuleStore::Load - Could not open " + missing});
    EXPECT_EQ(store.NewRuleId(), 1u);
    const std::wstring headerOnly = folder.Write(L"header.csv", "RuleId\r\n");
    EXPECT_TRUE(store.Load(headerOnly));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 0 rules from " + headerOnly));
}

TEST_F(RulesJson, ExportWritesTheFixedLayoutWithEscapes) {
    const std::wstring path = folder.Path(L"export.json");
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(TestFolder::Read(path), "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n  ]\r\n}\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Exported 0 rules to " + path));
    store.Add({9, L"C:\\x\t\"q\".exe\u00e9\x01", false, 5000, 1572864, 4096 * kBytesPerMB, 95, 1, 2, 3, 15, 120, 45});
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_EQ(TestFolder::Read(path),
              "\xEF\xBB\xBF{\r\n  \"rules\": [\r\n    {\r\n      \"processPattern\": "
              "\"C:\\\\x\\t\\\"q\\\".exe\xC3\xA9\\u0001\",\r\n"
              "      \"enabled\": false,\r\n      \"maxHandles\": 5000,\r\n      \"maxWorkingSetMB\": 1.5,\r\n"
              "      \"maxPrivateBytesMB\": 4096.0,\r\n      \"maxCPUPercent\": 95.0,\r\n      \"maxThreads\": 1,\r\n"
              "      \"maxGDIObjects\": 2,\r\n      \"maxUSERObjects\": 3,\r\n      \"alertActions\": 15,\r\n"
              "      \"cooldownSeconds\": 120,\r\n      \"sustainSec\": 45\r\n    }\r\n  ]\r\n}\r\n");
    store.Add({.RuleId = 10, .ProcessPattern = L"b"});
    ASSERT_TRUE(store.ExportJson(path));
    EXPECT_NE(TestFolder::Read(path).find("45\r\n    },\r\n    {\r\n      \"processPattern\": \"b\""),
              std::string::npos);
    EXPECT_EQ(JsonEscape(L"\\\"\n\r\t\b\f\x1f\u00e9/"), L"\\\\\\\"\\n\\r\\t\\u0008\\u000c\\u001f\u00e9/");
}

// A folder-like pattern ends in a backslash: unescaped it would escape its closing quote and run on.
TEST_F(RulesJson, APatternEndingInABackslashExportsAndImportsWhole) {
    RuleList expected{{1, L"C:\\Tools\\", false}, {2, L"\\", false}, {3, L"b", false}};
    EXPECT_EQ(Import(FormatRulesJson(expected)), expected);
    expected.insert(expected.end(), {{4, L"C:\\Tools\\", false}, {5, L"b", false}});
    EXPECT_EQ(Import(R"({"rules": [{"processPattern": "C:\\Tools\\"}, {"processPattern": "b"}]})"), expected);
}

TEST_F(RulesJson, EnabledIsABareTrueWithAnyBlanksOrTheStringsTrueAndOne) {
    const RuleList rules =
        Import(R"({"rules":[{"processPattern":"a","enabled":true}, {"processPattern": "b", "enabled" : true},
        {"processPattern": "c", "enabled":
            true}, {"processPattern": "d", "enabled": "true"}, {"processPattern": "e", "enabled": "1"},
        {"processPattern": "f", "enabled": false}, {"processPattern": "g"}, {"processPattern": "h", "enabled": "yes"},
        {"processPattern": "i", "enabled": "0", "enabled": true}, {"processPattern": "j, \"enabled\": true"}]})");
    std::string enabled;
    for (const ThresholdRule& rule : rules) {
        enabled += rule.Enabled ? '1' : '0';
    }
    EXPECT_EQ(enabled, "1111100010");
}

// Unknown keys are ignored and the first of two equal keys counts; a key inside a string is text; a
// quoted number is no number; negative megabytes are no limit; counts saturate at the signed 64-bit
// range and keep 32 bits; unknown escapes and a lone surrogate half stay as text.
TEST_F(RulesJson, ImportReadsEscapesAndNumbersAndSkipsObjectsWithoutAPattern) {
    // The longest pattern rules.csv holds; one unit more is dropped, not cut.
    const std::string longest = R"({"processPattern": ")" + std::string(253, 'x') + "\\uD83D\\uDE00\"}, " +
                                R"({"processPattern": ")" + std::string(256, 'x') + "\"}";
    const RuleList rules = Import(
        "\xEF\xBB\xBF"
        R"({"meta": {"processPattern": "before"}, "rules": [
        {"cooldownSeconds": 5, "maxHandles": 5000.9, "maxWorkingSetMB": 0.5, "unknown": [1, 2], "maxCPUPercent": 95,
         "processPattern": "p", "maxThreads": -1, "maxGDIObjects": "7", "maxUSERObjects": 1e3, "maxHandles": 1,
         "maxPrivateBytesMB": -2, "sustainSec": 90.5},
        {"processPattern": ""}, {"enabled": true}, {"processPattern": 5},
        {"processPattern": "a{b}c \"\\\/\b\f\n\r\t\u00e9\uD83D\uDE00"},
        {"processPattern": "a{b}c \"\\\/\u00e9\uD83D\uDE00"},
        {"x": "\"processPattern\": \"no\"", "processPattern" : "lone \uD800 \q \u12", "processPattern": "2nd"},
        {"processPattern": "q", "maxWorkingSetMB": 1e300, "maxPrivateBytesMB": nan, "maxHandles": 1e30,
         "alertActions": -1e30, "maxThreads": 4294967297},
        )" +
        longest + R"(
        ], "more": {"processPattern": "after", "nested": {"x": 1}, "maxHandles": 3}})");
    // Fields in file order. Skipped objects take no id; no pattern may hold a control character (the
    // decoded escapes), as rules.csv could not keep it; the rules_json fuzz target holds the length.
    const RuleList expected = {{1, L"p", false, 5000, 524288, 0, 95.0, 4294967295u, 0, 1000, 3, 5, 90},
                               {2, L"a{b}c \"\\/\u00e9\U0001F600", false},
                               {3, L"lone \uFFFD \\q \\u12", false},
                               {4, L"q", false, 0xFFFFFFFFu, UINT64_MAX, 0, 0, 1, 0, 0, 0},
                               {5, std::wstring(253, L'x') + L"\U0001F600", false},
                               // An object after the array still counts; it ends at the nested object's brace.
                               {6, L"after", false}};
    EXPECT_EQ(rules, expected);
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - Imported 6 rules from " + folder.Path(L"import.json")));
}

TEST_F(RulesJson, FailedImportsTraceAndLeaveTheListAlone) {
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
    for (const std::wstring& path : {folder.Write(L"nobraces.json", "{\"rules\": [\r\n  ]}"),
                                     folder.Write(L"unclosed.json", R"({"rules": [{"processPattern": "x")"),
                                     folder.Write(L"blank.json", R"({"rules": [{"processPattern": ""}]})")}) {
        EXPECT_FALSE(store.ImportJson(path));
        EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - No valid rules found in " + path));
    }
    // Refused: a file one byte over 64 MiB, and an import that makes rules.csv too large to load.
    const std::string json = R"({"rules": [{"processPattern": ")" + std::string(255, 'x') + "\"}]}";
    const std::wstring huge = folder.Write(L"huge.json", json);
    std::filesystem::resize_file(huge, 64 * 1048576 + 1);
    EXPECT_FALSE(store.ImportJson(huge));
    RuleStore full;
    const ThresholdRule line{.ProcessPattern = std::wstring(255, L'x')};
    full.AddNewRules(RuleList(200000, line));
    const size_t lineBytes = FormatRulesCsv({{.RuleId = 100000, .ProcessPattern = line.ProcessPattern}}).size() -
                             FormatRulesCsv({}).size();
    full.AddNewRules(RuleList((64 * 1048576 - FormatRulesCsv(*full.Snapshot()).size()) / lineBytes, line));
    EXPECT_FALSE(full.ImportJson(folder.Write(L"one.json", json)));
    EXPECT_EQ(*store.Snapshot(), RuleList{kept});
    EXPECT_EQ(store.NewRuleId(), 2u);
    const std::wstring unwritable = folder.Path(L"no-such-folder") + L"/export.json";
    EXPECT_FALSE(store.ExportJson(unwritable));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ExportJson - Could not open " + unwritable + L" for writing"));
}

// What a load could not read or had to drop survives the save at exit (the end-to-end test runs
// the other damaged files through the program).
TEST(RuleFileHardening, SaveAtExitKeepsWhatTheLoadCouldNotRead) {
    using namespace std::string_literals;
    const ThresholdRule a{1, L"a.exe"}, added{1, L"added.exe"};
    const uintmax_t over64MiB = 64 * 1048576 + 1;
    const std::string utf16BigEndian = "\xFE\xFF\0R\0\r\0\n\0\x31\0,\0a\0.\0e\0x\0e\0,\0\x31"s;
    // The file as found (none when empty), grown sparse beyond 64 MiB, a rule added after the load, the list
    // loaded, the file after exit (empty: left as it was), the file as found kept as rules.csv.bak.
    const std::tuple<std::string, bool, bool, RuleList, std::string, bool> cases[] = {
        {"", false, false, {}, kBom + kHeader, false},
        {utf16BigEndian, false, false, {a}, FormatRulesCsv({a}), false},
        {kBom + kHeader + "1,a.exe,1\r\n3,b\x01.exe,1\r\n", false, false, {a}, FormatRulesCsv({a}), true},
        {kBom + kHeader, true, false, {}, "", false},
        {kBom + kHeader, true, true, {}, FormatRulesCsv({added}), true}};
    for (const auto& [bytes, stretch, change, loaded, afterExit, backup] : cases) {
        TestFolder folder;
        const std::wstring path = bytes.empty() ? folder.Path(L"rules.csv") : folder.Write(L"rules.csv", bytes);
        if (stretch) {
            std::filesystem::resize_file(path, over64MiB);
        }
        RuleStore store;
        store.Load(path);
        EXPECT_EQ(*store.Snapshot(), loaded);
        if (change) {
            store.AddNewRules({{.ProcessPattern = added.ProcessPattern}});
        }
        EXPECT_TRUE(store.SaveAtExit(path) && store.SaveAtExit(path));  // the copy is made once, of the file as loaded
        EXPECT_TRUE(afterExit.empty() ? std::filesystem::file_size(path) == over64MiB
                                      : TestFolder::Read(path) == afterExit);
        const std::string kept = TestFolder::Read(path + L".bak");
        EXPECT_EQ(kept.size(), backup ? (stretch ? over64MiB : bytes.size()) : 12u);  // 12: "(unreadable)"
        EXPECT_TRUE(!backup || kept.starts_with(bytes));
    }
}

// After an unreadable load a change joins the file readable again (a clashing id gives way), or copies it aside.
TEST(RuleFileHardening, AChangeAfterAnUnreadableLoadJoinsTheFileOrCopiesIt) {
    TestFolder folder;
    const std::string bytes = kBom + kHeader + "1,kept.exe,1\r\n";
    const std::wstring path = folder.Write(L"rules.csv", bytes);
    folder.Write(L"rules.csv.bak", "older");
    for (const bool readableAgain : {true, false}) {
        std::filesystem::resize_file(path, 64 * 1048576 + 1);
        RuleStore store;
        EXPECT_FALSE(store.Load(path));
        store.AddNewRules({{.ProcessPattern = L"added.exe"}});
        if (readableAgain) {
            std::filesystem::resize_file(path, bytes.size());
        }
        EXPECT_TRUE(store.Save(path) && !store.HoldsUnreadFile());
        EXPECT_EQ(TestFolder::Read(path), readableAgain ? FormatRulesCsv({{1, L"kept.exe"}, {2, L"added.exe"}})
                                                        : FormatRulesCsv({{1, L"added.exe"}}));
        EXPECT_EQ(TestFolder::Read(path + L".1.bak").size(), readableAgain ? 12u : 64 * 1048576 + 1);
    }
    EXPECT_EQ(TestFolder::Read(path + L".bak"), "older");
}

#ifdef _WIN32
// Another program holding rules.csv open without delete sharing (an editor, a scanner) blocks the
// move over it: a brief hold is ridden out, a lasting one fails the save with a trace.
TEST(RuleFileHardening, SavesRideOutABriefHoldAndReportALastingOne) {
    for (const bool released : {true, false}) {
        TestFolder folder;
        TraceCapture trace;
        const std::wstring path = folder.Write(L"rules.csv", "old");
        RuleStore store;
        store.Add({.RuleId = 1, .ProcessPattern = L"a.exe"});
        UniqueHandle held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        std::thread release([&] {
            if (released) {
                Sleep(300);
                held.reset();
            }
        });
        EXPECT_EQ(store.Save(path), released) << released;
        release.join();
        held.reset();
        EXPECT_EQ(TestFolder::Read(path), released ? FormatRulesCsv(*store.Snapshot()) : "old");
        EXPECT_EQ(trace.Contains(L"RuleStore::Save - Could not open " + path + L" for writing"), !released);
        EXPECT_EQ(folder.Entries(), 1);  // only the file itself: a failed save removes its temporary file
    }
}
#endif
