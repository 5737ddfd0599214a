#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "rules/rule_csv.h"
#include "support/save_loop_rules.h"
#include "support/test_folder.h"

// Round after round: puts the first list in `path`, starts the rule_save_loop tool on it, ends it
// at a random moment within two saves (kill: true when it was still running) and expects one list
// whole. At least minRounds, more (up to ten times as many) until both lists and a kill between a
// write and its move were seen; the last is rare in slow sanitizer builds.
inline void KillSavesAtRandom(const std::filesystem::path& path, int minRounds, const std::function<void()>& start,
                              const std::function<bool()>& kill) {
    using namespace std::chrono;
    const std::string first = FormatRulesCsv(SaveLoopRules(false));
    const std::string second = FormatRulesCsv(SaveLoopRules(true));
    const std::filesystem::path started = path.wstring() + L".started";
    std::mt19937 random(12345);
    int seen[2] = {};
    int midSave = 0;
    for (int round = 0; round < 10 * minRounds && (round < minRounds || !seen[0] || !seen[1] || !midSave); ++round) {
        std::filesystem::remove(started);
        ASSERT_TRUE(WriteFileBytes(path.wstring(), first));
        start();
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
        ASSERT_TRUE(kill()) << "the tool ended by itself";

        const std::string bytes = TestFolder::Read(path.wstring());
        ASSERT_TRUE(bytes == first || bytes == second) << "round " << round << ": " << bytes.size() << " bytes";
        ++seen[bytes == second];
        midSave += std::filesystem::exists(path.wstring() + L".tmp");  // killed between write and move
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(midSave, 0);
}
