// A real child process saving in a loop is killed at random moments; tests/win/rules does the same
// with TerminateProcess under Wine.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/save_kill_rounds.h"

extern char** environ;

TEST(RuleSaveKill, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    TestFolder folder;
    std::string path = std::filesystem::path(folder.Path(L"rules.csv")).string();
    std::string tool = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "rule_save_loop").string();
    char* argv[] = {tool.data(), path.data(), nullptr};
    pid_t child = 0;
    KillSavesAtRandom(
        path, 40, [&] { ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ), 0); },
        [&] {
            int status = 0;
            return kill(child, SIGKILL) == 0 && waitpid(child, &status, 0) == child && WIFSIGNALED(status);
        });
}

#endif
