#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/win_handles.h"
#include "win/support/watchkeep_process.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Watchkeep";

class Startup : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        DeleteFileW((WatchkeepDataFolder() + L"\\rules.csv").c_str());
    }
    static bool SettingExists(const wchar_t* name) {
        DWORD size = 0;
        return RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, nullptr, nullptr, &size) ==
               ERROR_SUCCESS;
    }
};

bool NamedEventExists() {
    UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\WatchkeepRunning"));
    return static_cast<bool>(event);
}

}  // namespace

TEST_F(Startup, TrayStartOpensNoDialogAndASecondStartRaisesOneMainDialog) {
    WatchkeepProcess first(L"-tray");
    HWND tray = first.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(IsWindowVisible(tray));
    EXPECT_TRUE(NamedEventExists());
    Sleep(1000);
    EXPECT_TRUE(FindDialogs(kMainDialogCaption).empty());

    // Even with -tray, a second start hands over to the first and ends with 0.
    UniqueHandle second = StartWatchkeep(L"-tray");
    ASSERT_TRUE(second);
    EXPECT_EQ(WaitForExit(second.get()), 0u);
    EXPECT_TRUE(WaitUntil([] { return FindDialogs(kMainDialogCaption).size() == 1; }));

    UniqueHandle third = StartWatchkeep(L"");
    ASSERT_TRUE(third);
    EXPECT_EQ(WaitForExit(third.get()), 0u);
    Sleep(500);
    EXPECT_EQ(FindDialogs(kMainDialogCaption).size(), 1u);
    EXPECT_EQ(FindTrayWindow(), tray);
}

TEST_F(Startup, TerminateReturnsOnlyAfterTheInstanceHasSaved) {
    WatchkeepProcess running(L"-tray");
    ASSERT_NE(running.WaitForTray(), nullptr);
    ASSERT_FALSE(SettingExists(L"PollIntervalMs"));
    const std::wstring rules = WatchkeepDataFolder() + L"\\rules.csv";
    ASSERT_EQ(GetFileAttributesW(rules.c_str()), INVALID_FILE_ATTRIBUTES);

    UniqueHandle terminator = StartWatchkeep(L"-terminate");
    ASSERT_TRUE(terminator);
    EXPECT_EQ(WaitForExit(terminator.get()), 0u);
    // Checked before waiting for the instance: the send returned after its shutdown ran.
    EXPECT_TRUE(SettingExists(L"PollIntervalMs"));
    EXPECT_TRUE(SettingExists(L"Exclusions"));
    EXPECT_NE(GetFileAttributesW(rules.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WaitForExit(running.get()), 0u);
    EXPECT_EQ(FindTrayWindow(), nullptr);
}

TEST_F(Startup, BothSwitchesActAsTerminate) {
    WatchkeepProcess running(L"-tray");
    ASSERT_NE(running.WaitForTray(), nullptr);
    UniqueHandle both = StartWatchkeep(L"-tray -terminate");
    ASSERT_TRUE(both);
    EXPECT_EQ(WaitForExit(both.get()), 0u);
    EXPECT_EQ(WaitForExit(running.get()), 0u);
    EXPECT_EQ(FindTrayWindow(), nullptr);
    EXPECT_FALSE(NamedEventExists());
}

TEST_F(Startup, TerminateWithNothingRunningEndsAtOnce) {
    ASSERT_EQ(FindTrayWindow(), nullptr);
    UniqueHandle terminator = StartWatchkeep(L"-terminate");
    ASSERT_TRUE(terminator);
    EXPECT_EQ(WaitForExit(terminator.get(), 5000), 0u);
    EXPECT_EQ(FindTrayWindow(), nullptr);
    EXPECT_FALSE(NamedEventExists());
    // Nothing was saved by a process that only delivered the request.
    EXPECT_FALSE(SettingExists(L"PollIntervalMs"));
}
