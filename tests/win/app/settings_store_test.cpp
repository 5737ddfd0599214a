#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings_store.h"
#include "app/win_handles.h"

namespace {

// Every test starts and ends with no settings key and no Run value.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override {
        Clean();
        ApplySettings(SettingsRecord{});
    }

    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
        UniqueHKey run;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, run.put()) == ERROR_SUCCESS) {
            RegDeleteValueW(run.get(), kRunValueName);
        }
    }

    static void Write(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        UniqueHKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    static void WriteDword(const wchar_t* name, DWORD value) { Write(name, REG_DWORD, &value, sizeof(value)); }

    static bool Read(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        data.resize(size);
        return RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(),
                            &size) == ERROR_SUCCESS;
    }

    static std::wstring DefaultLog() {
        wchar_t folder[MAX_PATH] = {};
        EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
        return std::wstring(folder) + L"\\Watchkeep\\alerts.log";
    }
};

}  // namespace

TEST_F(SettingsStore, NoKeyLeavesEveryDefaultAndTheAppDataLogPath) {
    LoadSettings();
    SettingsRecord expected;
    expected.LogFilePath = DefaultLog();
    EXPECT_EQ(CurrentSettings(), expected);
    EXPECT_NE(expected.LogFilePath.find(L"\\AppData\\Roaming\\Watchkeep\\alerts.log"), std::wstring::npos);
}

TEST_F(SettingsStore, RejectedValuesKeepTheirDefaults) {
    WriteDword(L"PollIntervalMs", 499);
    WriteDword(L"NotificationThrottleSec", 3601);
    WriteDword(L"UpdateCheckIntervalHours", 48);
    WriteDword(L"IncludeBetas", 0);
    // Eight bytes do not fit the four-byte read, whatever the number.
    const ULONGLONG wide = 1000;
    Write(L"AlertActions", REG_QWORD, &wide, sizeof(wide));
    const LONG shortPlacement[3] = {0, 0, 100};
    Write(L"MainDialogPlacement", REG_BINARY, shortPlacement, sizeof(shortPlacement));
    const wchar_t text[] = L"svchost.exe";
    Write(L"Exclusions", REG_SZ, text, sizeof(text));
    LoadSettings();
    const SettingsRecord loaded = CurrentSettings();
    EXPECT_EQ(loaded.PollIntervalMs, 30000u);
    EXPECT_EQ(loaded.NotificationThrottleSec, 30u);
    EXPECT_EQ(loaded.UpdateCheckIntervalHours, 24u);
    EXPECT_EQ(loaded.AlertActions, 3u);
    EXPECT_FALSE(loaded.IncludeBetas);
    EXPECT_EQ(loaded.MainDialogPlacement, PlacementRect{});
    EXPECT_TRUE(loaded.Exclusions.empty());

    WriteDword(L"PollIntervalMs", 500);
    WriteDword(L"NotificationThrottleSec", 3600);
    WriteDword(L"UpdateCheckIntervalHours", 168);
    LoadSettings();
    EXPECT_EQ(CurrentSettings().PollIntervalMs, 500u);
    EXPECT_EQ(CurrentSettings().NotificationThrottleSec, 3600u);
    EXPECT_EQ(CurrentSettings().UpdateCheckIntervalHours, 168u);
}

TEST_F(SettingsStore, SaveAndLoadRoundTripEveryField) {
    SettingsRecord record;
    record.PollIntervalMs = 1500;
    record.AlertActions = 5;
    record.NotificationThrottleSec = 90;
    record.UpdateCheckIntervalHours = 72;
    record.IncludeBetas = false;
    record.LogFilePath = L"C:\\logs\\alerts.log";
    record.SoundFilePath = L"C:\\sounds\\ding.wav";
    record.MainDialogPlacement = {-800, 20, -100, 600};
    record.Exclusions = {L"svchost.exe", L"*.tmp", L"j\u00f6rg?.exe"};
    ApplySettings(record);
    SaveSettings();

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Read(L"Exclusions", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(data.size(), 2u * ((11 + 1) + (5 + 1) + (9 + 1) + 1));
    ASSERT_TRUE(Read(L"MainDialogPlacement", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data.size(), 16u);

    ApplySettings(SettingsRecord{});
    LoadSettings();
    EXPECT_EQ(CurrentSettings(), record);
}

TEST_F(SettingsStore, EmptyListsAndPathsBehaveAsTheyDoAtTheNextStart) {
    SettingsRecord record;
    record.SoundFilePath = L"C:\\sounds\\ding.wav";
    record.Exclusions = {L"explorer.exe"};
    ApplySettings(record);
    SaveSettings();

    // The user empties both; the save writes one NUL for the list and leaves the sound path.
    record.SoundFilePath.clear();
    record.Exclusions.clear();
    ApplySettings(record);
    SaveSettings();
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Read(L"Exclusions", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(data, (std::vector<BYTE>{0, 0}));

    ApplySettings(SettingsRecord{});
    LoadSettings();
    EXPECT_TRUE(CurrentSettings().Exclusions.empty());
    EXPECT_EQ(CurrentSettings().SoundFilePath, L"C:\\sounds\\ding.wav");
}

TEST_F(SettingsStore, ResetRestoresDefaultsButKeepsThePlacement) {
    SettingsRecord record;
    record.PollIntervalMs = 700;
    record.LogFilePath = L"C:\\elsewhere.log";
    record.SoundFilePath = L"C:\\ding.wav";
    record.MainDialogPlacement = {10, 10, 400, 300};
    record.Exclusions = {L"a.exe"};
    ApplySettings(record);
    ResetSettingsToDefaults();
    SettingsRecord expected;
    expected.LogFilePath = DefaultLog();
    expected.MainDialogPlacement = record.MainDialogPlacement;
    EXPECT_EQ(CurrentSettings(), expected);
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Read(L"PollIntervalMs", type, data));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), 30000u);
}

TEST_F(SettingsStore, StartWithWindowsTogglesTheQuotedProgramPath) {
    EXPECT_FALSE(IsStartWithWindowsEnabled());
    SetStartWithWindows();
    EXPECT_TRUE(IsStartWithWindowsEnabled());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t stored[MAX_PATH + 8] = {};
    DWORD size = sizeof(stored);
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, RRF_RT_ANY, &type, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(stored), L"\"" + std::wstring(self) + L"\"");
    SetStartWithWindows();
    EXPECT_FALSE(IsStartWithWindowsEnabled());

    // Any value under the name counts as on, whatever it holds.
    UniqueHKey run;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, run.put()), ERROR_SUCCESS);
    const DWORD odd = 0;
    ASSERT_EQ(RegSetValueExW(run.get(), kRunValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&odd), sizeof(odd)),
              ERROR_SUCCESS);
    EXPECT_TRUE(IsStartWithWindowsEnabled());
    SetStartWithWindows();
    EXPECT_FALSE(IsStartWithWindowsEnabled());
}
