// A real child process saving in a loop is killed at random moments (SIGKILL natively,
// TerminateProcess under Wine): the move over the old file is the only commit.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "rules/rule_csv.h"
#include "support/test_support.h"
#ifdef _WIN32
#include "win/support/test_paths.h"
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace {

// The rule_save_loop tool saving to `path`; KillSaveLoop() is true when it was still running.
#ifdef _WIN32
UniqueHandle StartSaveLoop(const std::wstring& path) {
    return StartProgram(L"rule_save_loop.exe", L"\"" + path + L"\"");
}
bool KillSaveLoop(const UniqueHandle& process) {
    DWORD code = 0;
    return TerminateProcess(process.get(), 99) && WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.get(), &code) && code == 99;
}
#else
pid_t StartSaveLoop(const std::wstring& path) {
    std::string tool = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "rule_save_loop").string();
    std::string file = std::filesystem::path(path).string();
    char* argv[] = {tool.data(), file.data(), nullptr};
    pid_t child = 0;
    posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ);
    return child;
}
bool KillSaveLoop(pid_t child) {
    int status = 0;
    return child > 0 && kill(child, SIGKILL) == 0 && waitpid(child, &status, 0) == child && WIFSIGNALED(status);
}
#endif

}  // namespace

// Round after round the tool is ended at a random moment within two saves, and one list must be
// whole. More rounds (up to ten times as many) until both lists and a kill between a write and
// its move were seen; the last is rare in slow sanitizer builds.
TEST(RuleSaveKill, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    using namespace std::chrono;
    TestFolder folder;
    const std::wstring path = folder.Path(L"rules.csv"), started = path + L".started";
    const std::string first = FormatRulesCsv(SaveLoopRules(false)), second = FormatRulesCsv(SaveLoopRules(true));
    const int minRounds = sizeof(wchar_t) == 2 ? 20 : 40;
    std::mt19937 random(12345);
    int seen[2] = {}, midSave = 0;
    for (int round = 0; round < 10 * minRounds && (round < minRounds || !seen[0] || !seen[1] || !midSave); ++round) {
        std::filesystem::remove(started);
        ASSERT_TRUE(WriteFileBytes(path, first));
        const auto tool = StartSaveLoop(path);
        // Builds differ widely in speed (sanitizers, Wine): time the first save, then kill within two.
        for (int wait = 0; wait < 20000 && !std::filesystem::exists(started); ++wait) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        const auto begin = steady_clock::now();
        std::error_code ignored;
        for (int wait = 0; wait < 20000 && std::filesystem::file_size(path, ignored) == first.size(); ++wait) {
            std::this_thread::sleep_for(microseconds(200));
        }
        const auto oneSave = duration_cast<microseconds>(steady_clock::now() - begin).count();
        std::this_thread::sleep_for(microseconds(random() % (2 * oneSave + 1000)));
        ASSERT_TRUE(KillSaveLoop(tool)) << "the tool ended by itself or never started";
        const std::string bytes = TestFolder::Read(path);
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round << ": " << bytes.size() << " bytes";
        ++seen[bytes == second];
        // Killed between write and move: a temporary file is left beside rules.csv and rules.csv.started.
        midSave += folder.Entries() > 2;
    }
    EXPECT_TRUE(seen[0] && seen[1] && midSave) << seen[0] << " old, " << seen[1] << " new, " << midSave << " mid-save";
}
