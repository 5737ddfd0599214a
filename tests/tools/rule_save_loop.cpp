// Saves two rule lists to the file named on the command line in turn until it is killed; tests
// kill it at random moments and expect one list whole. "<path>.started" marks the first save.
#include <cstdio>
#include <string>

#include "../support/test_support.h"
#include "base/utf8.h"

// The path arrives as UTF-8 natively and in the ANSI code page on Windows: tests pass ASCII paths.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: rule_save_loop PATH\n", stderr);
        return 2;
    }
    const std::wstring path = Utf8ToWide(argv[1]);
    RuleStore first, second;
    first.AddNewRules(SaveLoopRules(false));
    second.AddNewRules(SaveLoopRules(true));
    if (!WriteFileBytes(path + L".started", "")) {
        return 1;
    }
    while (second.Save(path) && first.Save(path)) {
    }
    return 1;
}
