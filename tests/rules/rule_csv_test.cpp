#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader =
    "RuleId,ProcessPattern,Enabled,MaxHandles,MaxWorkingSetMB,MaxPrivateBytesMB,MaxCPU,MaxThreads,MaxGDI,MaxUSER,"
    "AlertActions,CooldownSec\r\n";

}  // namespace

TEST(RulesCsv, SavesTheFixedFormatByteForByteAndReadsItBack) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::wstring path = folder.Path(L"rules.csv");
    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(TestFolder::Read(path), kBom + kHeader);

    const ThresholdRule a{3, L"chrome.exe", true, 5000, 1572864, 4096 * kBytesPerMB, 95, 1, 2, 3, 7, 120};
    // Windows file names may hold commas and quotes: such a pattern is written as a quoted field.
    // 1,000,000 bytes round to 1.0 MB; 12.25 is an exact tie and rounds to even, as printf does.
    ThresholdRule b{.RuleId = 10,
                    .ProcessPattern = L"\"caf\u00e9, \"x\".exe\"",
                    .Enabled = false,
                    .MaxWorkingSetBytes = 1000000,
                    .MaxCPU = 12.25};
    const ThresholdRule c{.RuleId = 4, .ProcessPattern = L"\"q\""};  // would read back as q unquoted
    for (const ThresholdRule& rule : {a, b, c}) {
        store.Add(rule);
    }
    ASSERT_TRUE(store.Save(path));
    EXPECT_EQ(TestFolder::Read(path), kBom + kHeader +
                                          "3,chrome.exe,1,5000,1.5,4096.0,95.0,1,2,3,7,120\r\n"
                                          "10,\"\"\"caf\xC3\xA9, \"\"x\"\".exe\"\"\",0,0,1.0,0.0,12.2,0,0,0,3,60\r\n"
                                          "4,\"\"\"q\"\"\",1,0,0.0,0.0,0.0,0,0,0,3,60\r\n");
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Saved 3 rules to " + path));

    ASSERT_TRUE(store.Load(path));
    b.MaxWorkingSetBytes = kBytesPerMB;
    b.MaxCPU = 12.2;
    EXPECT_EQ(*store.Snapshot(), (RuleList{a, b, c}));
    EXPECT_EQ(store.NewRuleId(), 11u);  // past the highest id loaded, not 4
}

TEST(RulesCsv, LoadSkipsTheFirstLineAndKeepsWhatEachLineMatches) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const std::string x255(255, 'x');
    const std::wstring path =
        folder.Write(L"rules.csv",
                     "1,lost-first-line.exe,1\n"               // no header: the first rule is lost
                     "7,notepad.exe,1\r\n"                     // defaults for what the line lacks
                     "8,,1\n10,b,x\n11,only-two\ngarbage\n\n"  // fewer than three fields: dropped
                     "9,a,5x\n"                                // the pattern ends at a comma: Enabled 5
                     "12," +
                         x255 + ",0\n13," + x255 + "y,1\n" +                  // no comma after 255 characters: dropped
                         "14,w, 1, -1,-2.5,1e300, 5.5,4294967297,+3,-0,0,\n"  // "%u" rules; a trailing comma keeps 60
                         "15,n,1,0,nan,inf,7.5\n"                             // non-finite megabytes: no limit
                         "16,t,1,0,0.1\r\r\n"                                 // 0.1 MB truncated to bytes
                         "17,\"x,1\n18,\"y\"z,1\n19,\"\",1\n"                 // a quote opening no quoted field is text
                         "5,p,1," +
                         std::string(2041, ' ') + "9,q,0\n" +  // 2047 characters at most form a line
                         "7,duplicate.exe,0");                 // no line break at the end
    ASSERT_TRUE(store.Load(path));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 12 rules from " + path));
    // A minus sign wraps modulo 2^32, out-of-range values saturate first; negative megabytes are no
    // limit and huge ones saturate. Fields: id, pattern, enabled, handles, working set, private bytes,
    // CPU, threads, GDI, USER, actions.
    const RuleList expected = {{.RuleId = 7, .ProcessPattern = L"notepad.exe"},
                               {.RuleId = 9, .ProcessPattern = L"a"},
                               {.RuleId = 12, .ProcessPattern = std::wstring(255, L'x'), .Enabled = false},
                               {14, L"w", true, 4294967295u, 0, UINT64_MAX, 5.5, 1, 3, 0, 0},
                               {15, L"n", true, 0, 0, 0, 7.5},
                               {16, L"t", true, 0, 104857},
                               {.RuleId = 17, .ProcessPattern = L"\"x"},
                               {.RuleId = 18, .ProcessPattern = L"\"y\"z"},
                               {.RuleId = 19, .ProcessPattern = L"\"\""},
                               {.RuleId = 5, .ProcessPattern = L"p"},
                               {9, L"q", false},
                               {7, L"duplicate.exe", false}};
    EXPECT_EQ(*store.Snapshot(), expected);
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"notepad.exe");  // the first of two with one id
    store.Remove(7);
    EXPECT_EQ(store.FindById(7)->ProcessPattern, L"duplicate.exe");
    EXPECT_EQ(store.NewRuleId(), 20u);
}

TEST(RulesCsv, FailedLoadsLeaveAnEmptyList) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    const ThresholdRule kept{.RuleId = 4, .ProcessPattern = L"kept.exe"};
    store.Add(kept);
    const std::wstring missing = folder.Path(L"missing.csv");
    EXPECT_FALSE(store.Load(missing));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Could not open " + missing));
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.NewRuleId(), 1u);

    trace.Clear();
    for (const std::string& bytes : {std::string(), kBom}) {  // no first line: no trace
        store.Add(kept);
        EXPECT_FALSE(store.Load(folder.Write(L"empty.csv", bytes)));
        EXPECT_EQ(store.Count(), 0u);
    }
    EXPECT_TRUE(trace.Lines().empty());
    const std::wstring headerOnly = folder.Write(L"header.csv", "RuleId\r\n");
    EXPECT_TRUE(store.Load(headerOnly));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Load - Loaded 0 rules from " + headerOnly));
}
