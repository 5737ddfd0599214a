// Natively a real child process is killed in the middle of saves; the Windows twin of this test
// (tests/win/rules) does the same with TerminateProcess under Wine.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <thread>

#include "../support/save_loop_rules.h"
#include "rule_test_folder.h"
#include "rules/rule_csv.h"

extern char** environ;

TEST(RuleSaveKill, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    RuleTestFolder folder;
    const std::wstring path = folder.Path(L"rules.csv");
    const std::string first = FormatRulesCsv(SaveLoopRules(false));
    const std::string second = FormatRulesCsv(SaveLoopRules(true));
    ASSERT_TRUE(WriteFileBytes(path, first));

    const std::string tool = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "rule_save_loop").string();
    const std::string pathArgument = std::filesystem::path(path).string();
    std::mt19937 random(12345);
    int sawFirst = 0;
    int sawSecond = 0;
    int midSave = 0;
    // At least 40 rounds; more (up to 400) until a kill has landed between a write and its move,
    // which is rarer in slow sanitizer builds where formatting dominates a save.
    for (int round = 0; round < 400 && (round < 40 || sawFirst == 0 || sawSecond == 0 || midSave == 0); ++round) {
        char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>(pathArgument.c_str()), nullptr};
        pid_t child = 0;
        std::filesystem::remove(pathArgument + ".started");
        ASSERT_TRUE(WriteFileBytes(path, first));
        ASSERT_EQ(posix_spawn(&child, tool.c_str(), nullptr, nullptr, argv, environ), 0);
        // Builds differ widely in speed (sanitizers): time the first save, then kill within two.
        for (int wait = 0; wait < 20000 && !std::filesystem::exists(pathArgument + ".started"); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto start = std::chrono::steady_clock::now();
        std::error_code ignored;
        for (int wait = 0; wait < 20000 && std::filesystem::file_size(pathArgument, ignored) == first.size(); ++wait) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (2 * oneSave.count() + 1000)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the tool ended by itself: " << status;

        const std::string bytes = RuleTestFolder::Read(path);
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round << ": " << bytes.size() << " bytes";
        (bytes == first ? sawFirst : sawSecond)++;
        if (std::filesystem::exists(pathArgument + ".tmp")) ++midSave;  // killed between write and move
    }
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);
    EXPECT_GT(midSave, 0);
    std::filesystem::remove(pathArgument + ".started");
}

#endif
