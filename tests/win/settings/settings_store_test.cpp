#include <windows.h>

#include <gtest/gtest.h>

#include "rules/rules_path_win.h"
#include "win/support/watchkeep_process.h"

class SettingsStore : public SavedStateTest {
protected:
    AppSettings settings_;
};

const SettingsRecord kRecord{1500, 5, 90, 72, false, L"C:\\a.log", L"C:\\\u4e2d\\j\u00f6rg.wav", {-800, 20, -100, 600},
                             ExclusionList{L"svchost.exe", L"*.tmp", L"j\u00f6rg?.exe"}};

TEST_F(SettingsStore, ValuesOfAnotherTypeReadAsDefaultsInTheRoamingFolder) {
    // The reader hands the decoder every value's type and all its bytes: these are refused whole.
    const StoredValue qword{REG_QWORD, {0xE8, 0x03, 0, 0, 0, 0, 0, 0}}, text = EncodeText(L"svchost.exe");
    ASSERT_FALSE(
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"AlertActions", REG_QWORD, qword.Bytes.data(), 8));
    ASSERT_FALSE(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"Exclusions", REG_SZ, text.Bytes.data(), 24));
    LoadSettings(settings_);
    EXPECT_EQ(CurrentSettings(settings_), SettingsRecord{.LogFilePath = WatchkeepFile(L"alerts.log")});
    EXPECT_NE(CurrentSettings(settings_).LogFilePath.find(L"\\AppData\\Roaming\\Watchkeep\\alerts.log"),
              std::wstring::npos);
    // The rules file lives beside it, in a folder made again when it is gone.
    const std::wstring folder = RoamingAppDataFolder() + L"\\Watchkeep";
    RemoveDirectoryW(folder.c_str());  // only when empty: the test prefix's is, a user's may hold a log
    EXPECT_EQ(GetRulesFilePath(), folder + L"\\rules.csv");
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Other readers of the key (older versions, an administrator's script) go by each value's type.
TEST_F(SettingsStore, EverySettingRoundTripsUnderItsRegistryTypeAndAnEmptyPathKeepsTheStoredOne) {
    ApplySettings(kRecord, settings_);
    SaveSettings(settings_);
    UniqueHKey key;
    ASSERT_FALSE(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()));
    const std::pair<const wchar_t*, DWORD> types[] = {
        {L"PollIntervalMs", REG_DWORD}, {L"AlertActions", REG_DWORD}, {L"NotificationThrottleSec", REG_DWORD},
        {L"UpdateCheckIntervalHours", REG_DWORD}, {L"IncludeBetas", REG_DWORD}, {L"LogFilePath", REG_SZ},
        {L"SoundFilePath", REG_SZ}, {L"MetricsFilePath", REG_SZ}, {L"Exclusions", REG_MULTI_SZ},
        {L"MainDialogPlacement", REG_BINARY}};
    for (const auto& [name, expected] : types) {
        DWORD type = REG_NONE;
        RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, nullptr);
        EXPECT_EQ(type, expected) << name;
    }
    settings_.SoundFilePath.Set(L"");
    SaveSettings(settings_);
    ApplySettings(SettingsRecord{}, settings_);
    LoadSettings(settings_);
    EXPECT_EQ(CurrentSettings(settings_), kRecord);
}

TEST_F(SettingsStore, AResetKeepsOnlyThePlacementAndSaves) {
    ApplySettings(kRecord, settings_);
    ResetSettingsToDefaults(settings_);
    EXPECT_EQ(CurrentSettings(settings_), (SettingsRecord{.LogFilePath = WatchkeepFile(L"alerts.log"),
                                                 .MainDialogPlacement = kRecord.MainDialogPlacement}));
    EXPECT_EQ(ReadSetting(L"PollIntervalMs"), EncodeDword(30000).Bytes);
}

TEST_F(SettingsStore, StartWithWindowsWritesTheQuotedProgramPathAndAnyValueCountsAsOn) {
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
