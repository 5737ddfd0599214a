// Saves two rule lists to the file named on the command line, one after the other, until it is
// killed; tests kill it at random moments and then expect one of the two lists whole. It writes
// "<path>.started" just before its first save, so that tests know when saving has begun.
#include <cstdio>
#include <string>

#include "../support/save_loop_rules.h"
#include "app/file_io.h"
#include "app/utf8.h"
#include "rules/rule_store.h"

namespace {

int Run(const std::wstring& path) {
    RuleStore first;
    RuleStore second;
    first.AddNewRules(SaveLoopRules(false));
    second.AddNewRules(SaveLoopRules(true));
    if (!WriteFileBytes(path + L".started", "")) {
        return 1;
    }
    for (;;) {
        if (!second.Save(path) || !first.Save(path)) {
            return 1;
        }
    }
}

}  // namespace

// The path arrives as UTF-8 natively and in the ANSI code page on Windows: tests pass ASCII paths.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: rule_save_loop PATH\n", stderr);
        return 2;
    }
    return Run(Utf8ToWide(argv[1]));
}
