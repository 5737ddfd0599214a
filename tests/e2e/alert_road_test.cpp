#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/file_io.h"
#include "win/support/load_generator.h"
#include "win/support/watchkeep_process.h"

using AlertRoad = SavedStateTest;

// The whole road of an alert through the real program: rules.csv and the registry in, a pass of
// the engine, the sink's post, delivery on the tray window's thread, a line in alerts.log out.
TEST_F(AlertRoad, AThreadRuleOnARealProcessEndsAsOneLogLinePerCooldown) {
    LoadGenerator load(L"threads 8");
    ASSERT_TRUE(load.Ready());
    const std::wstring log = WatchkeepFile(L"alerts.log");
    DeleteFileW(log.c_str());
    const std::wstring rules = WatchkeepFile(L"rules.csv");
    CreateDirectoryW(rules.substr(0, rules.find_last_of(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(rules, "RuleId\r\n7,loadgen_win.exe,1,0,0.0,0.0,0.0,5,0,0,2,3600\r\n"));
    const DWORD pollMs = 500;
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"PollIntervalMs", REG_DWORD, &pollMs, sizeof(pollMs)),
        ERROR_SUCCESS);

    WatchkeepProcess running;
    ASSERT_NE(running.WaitForTray(), nullptr);
    std::string bytes;
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(log, bytes) && !bytes.empty(); }));
    // Wine counts the generator's main thread with its eight, as Windows does.
    const std::string line = std::to_string(load.ProcessId()) + "\tloadgen_win.exe\tThreads: 9 > 5\r\n";
    EXPECT_NE(bytes.find(line), std::string::npos) << bytes;
    Sleep(2000);  // four more passes, all inside the rule's hour of cooldown
    ASSERT_TRUE(ReadFileBytes(log, bytes));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 1) << bytes;
    DeleteFileW(log.c_str());
}
