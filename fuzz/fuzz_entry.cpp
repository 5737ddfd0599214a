#include <cstring>

#include "fuzz_targets.h"

// One libFuzzer program per target, the target named at build time; a broken check stops the run.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzCheck check = [] {
        for (const FuzzTarget& target : kFuzzTargets) {
            if (std::strcmp(target.name, WATCHKEEP_FUZZ_TARGET) == 0) {
                return target.check;
            }
        }
        __builtin_trap();
    }();
    if (!check(data, size)) {
        __builtin_trap();
    }
    return 0;
}
