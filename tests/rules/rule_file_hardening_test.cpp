#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>

#include "rules/rule_csv.h"
#include "rules/rule_store.h"
#include "support/test_support.h"

namespace {

const std::string kHeader = "\xEF\xBB\xBF" + std::string(kRulesCsvHeader) + "\r\n";

}  // namespace

// A line break in an imported pattern used to write a second, hidden rule into rules.csv.
TEST(RuleFileHardening, ImportRefusesPatternsRulesCsvCannotHoldAndTheRestLoadBackAsImported) {
    const std::wstring emoji = L"\U0001F600";
    // Control characters, and more than 255 UTF-16 units (the last one in 255 characters).
    const std::wstring refused[] = {L"harmless.exe\r\n4000000000,*,1,1,0,0,0,1,0,0,7,0",
                                    L"lf\n.exe",
                                    std::wstring(L"nul\0.exe", 8),
                                    L"tab\t.exe",
                                    std::wstring(256, L'x'),
                                    std::wstring(254, L'x') + emoji};
    const std::wstring kept[] = {std::wstring(255, L'x'), std::wstring(253, L'x') + emoji, L"a,\"b\" \u00e9.exe"};
    TestFolder folder;
    RuleStore exporter;
    RuleList expected;
    for (size_t i = 0; i < std::size(kept); ++i) {
        exporter.Add({.ProcessPattern = refused[i]});
        exporter.Add({.ProcessPattern = refused[i + 3]});
        exporter.Add({.ProcessPattern = kept[i], .MaxHandles = 2});
        expected.push_back({.RuleId = static_cast<uint32_t>(i + 1), .ProcessPattern = kept[i], .MaxHandles = 2});
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
    exporter.Add({.ProcessPattern = refused[0]});
    ASSERT_TRUE(exporter.ExportJson(json));
    EXPECT_FALSE(importer.ImportJson(json));
    EXPECT_TRUE(trace.Contains(L"RuleStore::ImportJson - No valid rules found in " + json));
}

// What a load could not read or had to drop survives the save at exit (the end-to-end test runs
// the other damaged files through the program).
TEST(RuleFileHardening, SaveAtExitKeepsWhatTheLoadCouldNotRead) {
    using namespace std::string_literals;
    const ThresholdRule a{.RuleId = 1, .ProcessPattern = L"a.exe"};
    const ThresholdRule added{.RuleId = 1, .ProcessPattern = L"added.exe"};
    const uintmax_t over64MiB = 64 * 1048576 + 1;
    const std::string utf16BigEndian = "\xFE\xFF\0R\0\r\0\n\0\x31\0,\0a\0.\0e\0x\0e\0,\0\x31"s;
    const struct {
        const char* name;
        std::string bytes;  // the file as found; none when empty
        bool stretch;       // grown sparse beyond 64 MiB
        bool change;        // a rule is added after the load
        RuleList loaded;
        std::string afterExit;  // empty: left as it was
        bool backup;            // the file as found is kept as rules.csv.bak
    } cases[] = {
        {"absent", "", false, false, {}, kHeader, false},
        {"UTF-16 BE", utf16BigEndian, false, false, {a}, FormatRulesCsv({a}), false},
        {"control character", kHeader + "1,a.exe,1\r\n3,b\x01.exe,1\r\n", false, false, {a}, FormatRulesCsv({a}), true},
        {"over 64 MiB", kHeader, true, false, {}, "", false},
        {"over 64 MiB, changed", kHeader, true, true, {}, FormatRulesCsv({added}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        const std::wstring path = folder.Path(L"rules.csv");
        if (!c.bytes.empty()) {
            folder.Write(L"rules.csv", c.bytes);
        }
        if (c.stretch) {
            std::filesystem::resize_file(path, over64MiB);
        }
        RuleStore store;
        store.Load(path);
        EXPECT_EQ(*store.Snapshot(), c.loaded);
        if (c.change) {
            store.AddNewRules({{.ProcessPattern = added.ProcessPattern}});
        }
        EXPECT_TRUE(store.SaveAtExit(path));
        EXPECT_TRUE(store.SaveAtExit(path));  // the copy is made once, of the file as loaded
        if (c.afterExit.empty()) {
            EXPECT_EQ(std::filesystem::file_size(path), over64MiB);
        } else {
            EXPECT_EQ(TestFolder::Read(path), c.afterExit);
        }
        EXPECT_EQ(std::filesystem::exists(path + L".bak"), c.backup);
        if (c.backup) {
            EXPECT_EQ(TestFolder::Read(path + L".bak"), c.bytes);
        }
    }
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

// A stale "rules.csv.tmp" (here a folder) used to fail every save without a word.
TEST(RuleFileHardening, SavesUseTheirOwnTemporaryFileAndReportFailure) {
    TestFolder folder;
    TraceCapture trace;
    RuleStore store;
    store.Add({.RuleId = 1, .ProcessPattern = L"a.exe"});
    const std::wstring path = folder.Write(L"rules.csv", "old");
    std::filesystem::create_directory(path + L".tmp");
    EXPECT_TRUE(store.Save(path));
    EXPECT_TRUE(store.Save(path));
    EXPECT_EQ(TestFolder::Read(path), FormatRulesCsv(*store.Snapshot()));
    // The file and the stale folder: no temporary file is left behind.
    const std::filesystem::directory_iterator entries(std::filesystem::path(path).parent_path());
    EXPECT_EQ(std::distance(entries, std::filesystem::directory_iterator()), 2);

    const std::wstring unwritable = folder.Path(L"no-such-folder") + L"/rules.csv";
    EXPECT_FALSE(store.SaveAtExit(unwritable));
    EXPECT_TRUE(trace.Contains(L"RuleStore::Save - Could not open " + unwritable + L" for writing"));
}
