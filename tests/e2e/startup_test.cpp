#include <windows.h>

#include <gtest/gtest.h>

#include "win/support/watchkeep_process.h"

namespace {

using Startup = SavedStateTest;

bool NamedEventExists() {
    return static_cast<bool>(UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\WatchkeepRunning")));
}

}  // namespace

TEST_F(Startup, TrayStartOpensNoDialogAndLaterStartsRaiseOneMainDialog) {
    WatchkeepProcess first;
    HWND tray = first.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(IsWindowVisible(tray));
    EXPECT_TRUE(NamedEventExists());
    Sleep(1000);
    EXPECT_EQ(CountDialogs(kMainDialogCaption), 0u);

    // Even with -tray, a second start hands over to the first and ends with 0; a third raises the
    // dialog the second opened.
    for (const wchar_t* arguments : {L"-tray", L""}) {
        EXPECT_EQ(WatchkeepProcess(arguments).ExitCode(), 0u);
        EXPECT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) == 1; }));
        Sleep(500);
        EXPECT_EQ(CountDialogs(kMainDialogCaption), 1u) << "after a start with '" << arguments << "'";
    }
}

TEST_F(Startup, TerminateAndBothSwitchesReturnOnlyAfterTheInstanceHasSaved) {
    for (const wchar_t* arguments : {L"-terminate", L"-tray -terminate"}) {
        RemoveSavedState();
        WatchkeepProcess running;
        ASSERT_NE(running.WaitForTray(), nullptr);
        ASSERT_FALSE(ReadSetting(L"PollIntervalMs"));
        ASSERT_EQ(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);

        EXPECT_EQ(WatchkeepProcess(arguments).ExitCode(), 0u);
        // Checked before waiting for the instance: the send returned after its shutdown ran.
        EXPECT_TRUE(ReadSetting(L"PollIntervalMs"));
        EXPECT_TRUE(ReadSetting(L"Exclusions"));
        EXPECT_NE(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(running.ExitCode(), 0u);
        EXPECT_FALSE(NamedEventExists());
    }

    // With nothing running it ends at once, and saves nothing.
    RemoveSavedState();
    EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(5000), 0u);
    EXPECT_FALSE(ReadSetting(L"PollIntervalMs"));
}
