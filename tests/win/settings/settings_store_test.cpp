#include <windows.h>

#include <gtest/gtest.h>

#include "rules/rule_store.h"
#include "win/support/watchkeep_process.h"

namespace {

// The record in memory goes back to its defaults afterwards too.
class SettingsStore : public SavedStateTest {
protected:
    void TearDown() override {
        SavedStateTest::TearDown();
        ApplySettings(SettingsRecord{});
    }
};

}  // namespace

TEST_F(SettingsStore, NoKeyRefusedValuesAndResetGiveTheDefaultsWithTheAppDataLogPath) {
    SettingsRecord defaults;
    defaults.LogFilePath = WatchkeepFile(L"alerts.log");
    LoadSettings();
    EXPECT_EQ(CurrentSettings(), defaults);
    EXPECT_NE(CurrentSettings().LogFilePath.find(L"\\AppData\\Roaming\\Watchkeep\\alerts.log"), std::wstring::npos);
    // The rules file lives beside it, in a folder made again when it is gone.
    const std::wstring folder = RoamingAppDataFolder() + L"\\Watchkeep";
    RemoveDirectoryW(folder.c_str());  // only when empty: the test prefix's is, a user's may hold a log
    EXPECT_EQ(GetRulesFilePath(), folder + L"\\rules.csv");
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    // The reader hands the decoder every value's type and all its bytes: these are refused whole.
    const std::pair<const wchar_t*, StoredValue> refused[] = {
        {L"Exclusions", EncodeText(L"svchost.exe")}, {L"AlertActions", {REG_QWORD, {0xE8, 0x03, 0, 0, 0, 0, 0, 0}}}};
    for (const auto& [name, value] : refused) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, value.Type, value.Bytes.data(),
                                  static_cast<DWORD>(value.Bytes.size())),
                  ERROR_SUCCESS);
    }
    LoadSettings();
    EXPECT_EQ(CurrentSettings(), defaults);
    // A reset keeps only the placement, and saves.
    const SettingsRecord changed{700,       5, 90, 72, false, L"C:\\elsewhere.log", L"C:\\ding.wav", {10, 10, 400, 300},
                                 {L"a.exe"}};
    ApplySettings(changed);
    ResetSettingsToDefaults();
    defaults.MainDialogPlacement = changed.MainDialogPlacement;
    EXPECT_EQ(CurrentSettings(), defaults);
    EXPECT_EQ(ReadSetting(L"PollIntervalMs"), EncodeDword(30000).Bytes);
}

TEST_F(SettingsStore, EveryFieldRoundTripsAnEmptiedPathLeavesTheStoredOneAndStartWithWindowsToggles) {
    const PlacementRect placement{-800, 20, -100, 600};
    const ExclusionList exclusions{L"svchost.exe", L"*.tmp", L"j\u00f6rg?.exe"};
    const SettingsRecord record{
        1500, 5, 90, 72, false, L"C:\\logs\\alerts.log", L"C:\\J\u00f6rg\\\u4e2d.wav", placement, exclusions};
    ApplySettings(record);
    SaveSettings();
    DWORD type = 0;
    EXPECT_EQ(ReadSetting(L"MainDialogPlacement", &type), EncodePlacement(record.MainDialogPlacement).Bytes);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ApplySettings(SettingsRecord{});
    LoadSettings();
    EXPECT_EQ(CurrentSettings(), record);
    // An empty path is not saved: the one stored before reads back at the next start.
    appSettings.SoundFilePath.Set(L"");
    SaveSettings();
    ApplySettings(SettingsRecord{});
    LoadSettings();
    EXPECT_EQ(CurrentSettings(), record);
    // Start with Windows writes the quoted program path; any value under the name counts as on.
    SetStartWithWindows();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(ReadSetting(kRunValueName, nullptr, kRunKeyPath), EncodeText(L"\"" + std::wstring(self) + L"\"").Bytes);
    const DWORD odd = 0;
    for (const bool dword : {false, true}) {
        ASSERT_TRUE(!dword || !RegSetKeyValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, REG_DWORD, &odd, 4));
        EXPECT_TRUE(IsStartWithWindowsEnabled());
        SetStartWithWindows();
        EXPECT_FALSE(IsStartWithWindowsEnabled());
    }
}
