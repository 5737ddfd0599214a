#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>

#include "rules/rule_csv.h"
#include "rules/rule_store.h"
#include "support/test_folder.h"
#include "support/trace_capture.h"

namespace {

const std::string kHeader = "\xEF\xBB\xBF" + std::string(kRulesCsvHeader) + "\r\n";

std::string Utf16WithMark(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

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

// What a load could not read or had to drop must survive the save at exit.
TEST(RuleFileHardening, SaveAtExitKeepsWhatTheLoadCouldNotRead) {
    const ThresholdRule a{.RuleId = 1, .ProcessPattern = L"a.exe"};
    const ThresholdRule cafe{.RuleId = 2, .ProcessPattern = L"caf\u00e9.exe", .Enabled = false};
    const std::u16string unicode = u"RuleId\r\n1,a.exe,1\r\n2,caf\u00e9.exe,0\r\n";
    const ThresholdRule added{.RuleId = 1, .ProcessPattern = L"added.exe"};
    const struct {
        const char* name;
        std::string bytes;    // the file as found; none when empty
        uintmax_t stretchTo;  // grown sparse to this size when not 0
        bool change;          // a rule is added after the load
        RuleList loaded;
        bool backup;            // the file as found is kept as rules.csv.bak
        std::string afterExit;  // the file after the save at exit
    } cases[] = {
        {"absent", "", 0, false, {}, false, kHeader},
        {"UTF-16 LE", Utf16WithMark(unicode, false), 0, false, {a, cafe}, false, FormatRulesCsv({a, cafe})},
        {"UTF-16 BE", Utf16WithMark(unicode, true), 0, false, {a, cafe}, false, FormatRulesCsv({a, cafe})},
        {"CR only", "RuleId\r1,a.exe,1\r2,caf\xC3\xA9.exe,0", 0, false, {a, cafe}, false, FormatRulesCsv({a, cafe})},
        {"NUL",
         kHeader + "1,a.exe,1\r\n3,b" + std::string(1, '\0') + ".exe,1\r\n",
         0,
         false,
         {a},
         true,
         FormatRulesCsv({a})},
        {"control", kHeader + "1,a.exe,1\r\n3,b\x01.exe,1\r\n", 0, false, {a}, true, FormatRulesCsv({a})},
        {"256 units",
         kHeader + "1,a.exe,1\r\n3," + std::string(256, 'y') + ",1\r\n",
         0,
         false,
         {a},
         true,
         FormatRulesCsv({a})},
        {"over 64 MiB", kHeader, 64 * 1048576 + 1, false, {}, false, ""},
        {"over 64 MiB, changed", kHeader, 64 * 1048576 + 1, true, {}, false, FormatRulesCsv({added})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        const std::wstring path = folder.Path(L"rules.csv");
        if (!c.bytes.empty()) {
            folder.Write(L"rules.csv", c.bytes);
        }
        if (c.stretchTo != 0) {
            std::filesystem::resize_file(path, c.stretchTo);
        }
        RuleStore store;
        store.Load(path);
        EXPECT_EQ(*store.Snapshot(), c.loaded);
        if (c.change) {
            store.AddNewRules({{.ProcessPattern = added.ProcessPattern}});
        }
        EXPECT_TRUE(store.SaveAtExit(path));
        EXPECT_TRUE(store.SaveAtExit(path));  // a second save keeps the first copy
        if (c.afterExit.empty()) {
            EXPECT_EQ(std::filesystem::file_size(path), c.stretchTo);
        } else {
            EXPECT_EQ(TestFolder::Read(path), c.afterExit);
        }
        if (c.backup) {
            EXPECT_EQ(TestFolder::Read(path + L".bak"), c.bytes);
        } else {
            EXPECT_FALSE(std::filesystem::exists(path + L".bak"));
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
