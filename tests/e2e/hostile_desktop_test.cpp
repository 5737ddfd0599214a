#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "res/resource.h"
#include "win/support/watchkeep_process.h"

namespace {

using HostileDesktop = SavedStateTest;

// Instances in this prefix, counted from inside it (ps would also see other prefixes).
size_t CountInstances() {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        count += _wcsicmp(entry.szExeFile, L"watchkeep.exe") == 0 ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST_F(HostileDesktop, SimultaneousStartsLeaveOneInstanceThatForeignAlertMessagesCannotCrash) {
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<WatchkeepProcess>> starts;
        for (int i = 0; i < 3; ++i) {
            starts.push_back(std::make_unique<WatchkeepProcess>(L"-tray"));
        }
        for (const auto& start : starts) {
            start->ExitCode(3000);
        }
        EXPECT_EQ(CountInstances(), 1u) << "round " << round;
        HWND tray = FindWindowW(kTrayClass, kTrayTitle);
        ASSERT_NE(tray, nullptr);

        // Any program may post the alert message with any parameter; the sent one returns after
        // the handler ran.
        PostMessageW(tray, UWM_ALERT, 0, 0x12345678);
        SendMessageW(tray, UWM_ALERT, 1, -1);
        EXPECT_EQ(CountInstances(), 1u);

        // -terminate returns once the instance has ended, main dialog and all.
        EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
        EXPECT_EQ(CountInstances(), 0u);
    }
}
