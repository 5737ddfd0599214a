#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "rules/rule_csv.h"
#include "support/test_support.h"
#include "win/support/watchkeep_process.h"

namespace {

using DamagedRules = SavedStateTest;

std::string Utf16LeWithMark(std::wstring_view text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace

// Each file is put in place, the real program starts on it and is ended with -terminate; what it
// could read is saved, and what it could not is kept (as rules.csv itself or as rules.csv.bak).
TEST_F(DamagedRules, AStartAndExitKeepWhatTheProgramCouldNotRead) {
    const ThresholdRule a{.RuleId = 1, .ProcessPattern = L"a.exe"};
    const ThresholdRule cafe{.RuleId = 2, .ProcessPattern = L"caf\u00e9.exe", .Enabled = false};
    const std::string good = FormatRulesCsv({a});
    const struct {
        const char* name;
        std::string bytes;
        bool locked;         // held open without sharing while the program starts
        uint64_t stretchTo;  // grown sparse to this size when not 0
        std::string saved;   // the file after exit; empty when it must be left as it was
        bool backup;         // the file as it was is kept as rules.csv.bak
    } cases[] = {
        {"UTF-16 LE", Utf16LeWithMark(L"RuleId\r\n1,a.exe,1\r\n2,caf\u00e9.exe,0\r\n"), false, 0,
         FormatRulesCsv({a, cafe}), false},
        {"CR only", "RuleId\r1,a.exe,1\r2,caf\xC3\xA9.exe,0\r", false, 0, FormatRulesCsv({a, cafe}), false},
        {"NUL", good + "2,b" + std::string(1, '\0') + ".exe,1\r\n", false, 0, good, true},
        {"256 units", good + "2," + std::string(256, 'y') + ",1\r\n", false, 0, good, true},
        {"locked", "RuleId\n1,a.exe,1\n", true, 0, "", false},  // a read would rewrite it
        {"over 64 MiB", good, false, 64 * 1048576 + 1, "", false},
    };
    const std::wstring path = GetRulesFilePath();
    const std::wstring backup = path + L".bak";
    ASSERT_EQ(path, WatchkeepFile(L"rules.csv"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(backup.c_str());
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, c.locked ? 0 : FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        if (c.stretchTo != 0) {
            ASSERT_TRUE(
                SetFilePointerEx(file.get(), {.QuadPart = static_cast<LONGLONG>(c.stretchTo)}, nullptr, FILE_BEGIN));
            ASSERT_TRUE(SetEndOfFile(file.get()));
        }
        if (!c.locked) {
            file.reset();
        }
        WatchkeepProcess running;
        ASSERT_NE(running.WaitForTray(), nullptr);
        file.reset();  // the load is done once the tray window exists
        EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
        EXPECT_EQ(running.ExitCode(), 0u);

        if (c.stretchTo != 0) {
            EXPECT_EQ(std::filesystem::file_size(path), c.stretchTo);
        } else {
            EXPECT_EQ(TestFolder::Read(path), c.saved.empty() ? c.bytes : c.saved);
        }
        if (c.backup) {
            EXPECT_EQ(TestFolder::Read(backup), c.bytes);
        } else {
            EXPECT_EQ(GetFileAttributesW(backup.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
}
