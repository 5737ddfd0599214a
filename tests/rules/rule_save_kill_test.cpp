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

// The rule_save_loop tool saving to `path`; Kill() is true when it was still running.
class SaveLoop {
public:
#ifdef _WIN32
    explicit SaveLoop(const std::wstring& path) : process_(StartProgram(L"rule_save_loop.exe", L"\"" + path + L"\"")) {}
    bool Kill() {
        DWORD code = 0;
        return TerminateProcess(process_.get(), 99) && WaitForSingleObject(process_.get(), 10000) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.get(), &code) && code == 99;
    }

private:
    UniqueHandle process_;
#else
    explicit SaveLoop(const std::wstring& path) {
        std::string tool = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "rule_save_loop").string();
        std::string file = std::filesystem::path(path).string();
        char* argv[] = {tool.data(), file.data(), nullptr};
        posix_spawn(&child_, argv[0], nullptr, nullptr, argv, environ);
    }
    bool Kill() {
        int status = 0;
        return child_ > 0 && kill(child_, SIGKILL) == 0 && waitpid(child_, &status, 0) == child_ && WIFSIGNALED(status);
    }

private:
    pid_t child_ = 0;
#endif
};

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
        SaveLoop tool(path);
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
        ASSERT_TRUE(tool.Kill()) << "the tool ended by itself or never started";
        const std::string bytes = TestFolder::Read(path);
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round << ": " << bytes.size() << " bytes";
        ++seen[bytes == second];
        // Killed between write and move: a temporary file is left beside rules.csv and rules.csv.started.
        midSave += folder.Entries() > 2;
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(midSave, 0);
}
