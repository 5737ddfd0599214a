#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "base/win_handles.h"
#include "rules/rule_csv.h"
#include "support/test_support.h"

// Another program holding rules.csv open without delete sharing (an editor, a scanner) blocks the
// move over it: a brief hold is ridden out, a lasting one fails the save with a trace.
TEST(RuleFileHardeningWin, SavesRideOutABriefHoldAndReportALastingOne) {
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "released after 300 ms" : "held throughout");
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
        EXPECT_EQ(store.Save(path), released);
        release.join();
        held.reset();
        EXPECT_EQ(TestFolder::Read(path), released ? FormatRulesCsv(*store.Snapshot()) : "old");
        EXPECT_EQ(trace.Contains(L"RuleStore::Save - Could not open " + path + L" for writing"), !released);
        // Only the file itself: a failed save removes its temporary file.
        const std::filesystem::directory_iterator entries(std::filesystem::path(path).parent_path());
        EXPECT_EQ(std::distance(entries, std::filesystem::directory_iterator()), 1);
    }
}
