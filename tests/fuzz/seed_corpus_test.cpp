#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "fuzz_targets.h"

// Every fuzz target's seeds pass its check, also with a 16-bit wchar_t; no target lacks seeds, no folder a target.
TEST(FuzzSeeds, EveryTargetsSeedCorpusPassesItsCheck) {
    const std::filesystem::path corpus(WATCHKEEP_FUZZ_CORPUS);
    for (const FuzzTarget& target : kFuzzTargets) {
        size_t seeds = 0;
        for (const auto& seed : std::filesystem::directory_iterator(corpus / target.name)) {
            std::string bytes;
            ++seeds;
            EXPECT_TRUE(ReadFileBytes(seed.path().wstring(), bytes) &&
                        target.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
                << seed.path();
        }
        EXPECT_GT(seeds, 0u) << target.name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(corpus), {}), std::ssize(kFuzzTargets));
}
