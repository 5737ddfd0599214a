#include <windows.h>

#include <gtest/gtest.h>

#include "rules/rule_store.h"
#include "rules/rules_path_win.h"
#include "win/support/watchkeep_process.h"

using SettingsStore = SavedStateTest;

TEST_F(SettingsStore, DefaultsRoundTripResetAndStartWithWindows) {
    SettingsRecord defaults;
    defaults.LogFilePath = WatchkeepFile(L"alerts.log");
    // The reader hands the decoder every value's type and all its bytes: these are refused whole.
    const StoredValue qword{REG_QWORD, {0xE8, 0x03, 0, 0, 0, 0, 0, 0}}, text = EncodeText(L"svchost.exe");
    ASSERT_FALSE(
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"AlertActions", REG_QWORD, qword.Bytes.data(), 8));
    ASSERT_FALSE(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"Exclusions", REG_SZ, text.Bytes.data(), 24));
    AppSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(CurrentSettings(settings), defaults);
    EXPECT_NE(CurrentSettings(settings).LogFilePath.find(L"\\AppData\\Roaming\\Watchkeep\\alerts.log"),
              std::wstring::npos);
    // The rules file lives beside it, in a folder made again when it is gone.
    const std::wstring folder = RoamingAppDataFolder() + L"\\Watchkeep";
    RemoveDirectoryW(folder.c_str());  // only when empty: the test prefix's is, a user's may hold a log
    EXPECT_EQ(GetRulesFilePath(), folder + L"\\rules.csv");
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    const ExclusionList exclusions{L"svchost.exe", L"*.tmp", L"j\u00f6rg?.exe"};
    const SettingsRecord record{
        1500, 5, 90, 72, false, L"C:\\a.log", L"C:\\\u4e2d\\j\u00f6rg.wav", {-800, 20, -100, 600}, exclusions};
    ApplySettings(record, settings);
    SaveSettings(settings);
    // An empty path is not saved: the one stored before reads back at the next start.
    settings.SoundFilePath.Set(L"");
    SaveSettings(settings);
    ApplySettings(SettingsRecord{}, settings);
    LoadSettings(settings);
    EXPECT_EQ(CurrentSettings(settings), record);
    // A reset keeps only the placement, and saves.
    ResetSettingsToDefaults(settings);
    defaults.MainDialogPlacement = record.MainDialogPlacement;
    EXPECT_EQ(CurrentSettings(settings), defaults);
    EXPECT_EQ(ReadSetting(L"PollIntervalMs"), EncodeDword(30000).Bytes);
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
