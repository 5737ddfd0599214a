#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "base/win_handles.h"
#include "rules/rule_csv.h"
#include "rules/rule_store.h"
#include "support/test_folder.h"
#include "support/trace_capture.h"

namespace {

// Opens the file as an editor or scanner might: readable by others, but neither writable nor
// deletable, so it can be neither replaced nor (with share mode 0) read.
UniqueHandle Hold(const std::wstring& path, DWORD share) {
    return UniqueHandle(
        CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

// A save meeting a held rules.csv retries for a moment, then reports the failure.
TEST(RuleFileHardeningWin, SavesRideOutABriefHoldAndReportALastingOne) {
    const struct {
        int releaseAfterMs;  // -1: held until the save has returned
        bool saved;
    } cases[] = {{300, true}, {-1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.releaseAfterMs);
        TestFolder folder;
        TraceCapture trace;
        const std::wstring path = folder.Write(L"rules.csv", "old");
        RuleStore store;
        store.Add({.RuleId = 1, .ProcessPattern = L"a.exe"});
        UniqueHandle held = Hold(path, FILE_SHARE_READ);
        ASSERT_TRUE(held);
        std::thread release;
        if (c.releaseAfterMs >= 0) {
            release = std::thread([&] {
                Sleep(static_cast<DWORD>(c.releaseAfterMs));
                held.reset();
            });
        }
        EXPECT_EQ(store.Save(path), c.saved);
        if (release.joinable()) {
            release.join();
        }
        held.reset();
        EXPECT_EQ(TestFolder::Read(path), c.saved ? FormatRulesCsv(*store.Snapshot()) : "old");
        EXPECT_EQ(trace.Contains(L"RuleStore::Save - Could not open " + path + L" for writing"), !c.saved);
        // Only the file itself: a failed save removes its temporary file.
        const std::filesystem::directory_iterator entries(std::filesystem::path(path).parent_path());
        EXPECT_EQ(std::distance(entries, std::filesystem::directory_iterator()), 1);
    }
}

// A rules.csv locked while the program starts is out of reach, not empty: the exit leaves it.
TEST(RuleFileHardeningWin, AFileLockedAtLoadIsLeftAsItWasAtExit) {
    TestFolder folder;
    const std::string bytes = FormatRulesCsv({{.RuleId = 1, .ProcessPattern = L"a.exe"}});
    const std::wstring path = folder.Write(L"rules.csv", bytes);
    RuleStore store;
    {
        UniqueHandle held = Hold(path, 0);
        ASSERT_TRUE(held);
        EXPECT_FALSE(store.Load(path));
    }
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_TRUE(store.SaveAtExit(path));
    EXPECT_EQ(TestFolder::Read(path), bytes);
}
