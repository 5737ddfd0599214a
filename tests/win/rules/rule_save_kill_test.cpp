#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../support/test_paths.h"
#include "app/file_io.h"
#include "rules/rule_csv.h"
#include "support/save_loop_rules.h"

namespace {

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace

// A real child process saving in a loop is ended by TerminateProcess at random moments; the file
// must always hold one of the two lists whole (the move over the old file is the only commit).
TEST(RuleSaveKillWin, TerminatedSavesLeaveTheOldOrTheNewFileWhole) {
    const std::wstring path = TempFolder() + L"watchkeep_rule_save_kill.csv";
    const std::string first = FormatRulesCsv(SaveLoopRules(false));
    const std::string second = FormatRulesCsv(SaveLoopRules(true));
    ASSERT_TRUE(WriteFileBytes(path, first));

    std::wstring commandLine = L"\"" + BuildBinaryPath(L"rule_save_loop.exe") + L"\" \"" + path + L"\"";
    std::mt19937 random(4321);
    int sawFirst = 0;
    int sawSecond = 0;
    int midSave = 0;
    // At least 20 rounds; more (up to 200) until every outcome, a kill between write and move
    // included, has been seen.
    for (int round = 0; round < 200 && (round < 20 || sawFirst == 0 || sawSecond == 0 || midSave == 0); ++round) {
        const std::wstring started = path + L".started";
        DeleteFileW(started.c_str());
        ASSERT_TRUE(WriteFileBytes(path, first));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
        CloseHandle(process.hThread);
        // Start-up under Wine is slow and varies: time the first save, then end the tool within two.
        for (int wait = 0; wait < 2000 && GetFileAttributesW(started.c_str()) == INVALID_FILE_ATTRIBUTES; ++wait) {
            Sleep(5);
        }
        const ULONGLONG start = GetTickCount64();
        for (int wait = 0; wait < 5000 && FileSize(path) == first.size(); ++wait) {
            Sleep(1);
        }
        const ULONGLONG oneSave = GetTickCount64() - start;
        Sleep(static_cast<DWORD>(random() % (2 * oneSave + 2)));
        ASSERT_TRUE(TerminateProcess(process.hProcess, 99));
        WaitForSingleObject(process.hProcess, 10000);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        ASSERT_EQ(exitCode, 99u) << "the tool ended by itself";

        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round << ": " << bytes.size() << " bytes";
        (bytes == first ? sawFirst : sawSecond)++;
        if (GetFileAttributesW((path + L".tmp").c_str()) != INVALID_FILE_ATTRIBUTES) ++midSave;
    }
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);
    EXPECT_GT(midSave, 0);
    DeleteFileW(path.c_str());
    DeleteFileW((path + L".tmp").c_str());
    DeleteFileW((path + L".started").c_str());
}
