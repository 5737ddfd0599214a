#include <windows.h>

#include <gtest/gtest.h>

#include "../support/test_paths.h"
#include "base/win_handles.h"
#include "support/save_kill_rounds.h"

// TerminateProcess ends a real child process saving in a loop at random moments: the move over the
// old file is the only commit.
TEST(RuleSaveKillWin, TerminatedSavesLeaveTheOldOrTheNewFileWhole) {
    TestFolder folder;
    const std::wstring path = folder.Path(L"rules.csv");
    std::wstring commandLine = L"\"" + BuildBinaryPath(L"rule_save_loop.exe") + L"\" \"" + path + L"\"";
    UniqueHandle process;
    KillSavesAtRandom(
        path, 20,
        [&] {
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &info));
            CloseHandle(info.hThread);
            process.reset(info.hProcess);
        },
        [&] {
            DWORD exitCode = 0;
            return TerminateProcess(process.get(), 99) && WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0 &&
                   GetExitCodeProcess(process.get(), &exitCode) && exitCode == 99;
        });
}
