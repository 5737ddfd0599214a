#include "settings/settings_store_win.h"

#include <windows.h>

#include "base/app_data_folder_win.h"
#include "settings/app_settings.h"
#include "settings/registry_value_win.h"
#include "base/win_handles.h"

namespace {

std::wstring AppDataLogFilePath() {
    const std::wstring folder = RoamingAppDataFolder();
    return folder.empty() ? std::wstring() : DefaultLogFilePath(folder);
}

}  // namespace

SettingsRecord CurrentSettings() {
    SettingsRecord record;
    record.PollIntervalMs = appSettings.PollIntervalMs.load(std::memory_order_relaxed);
    record.AlertActions = appSettings.AlertActions.load(std::memory_order_relaxed);
    record.NotificationThrottleSec = appSettings.NotificationThrottleSec.load(std::memory_order_relaxed);
    record.UpdateCheckIntervalHours = appSettings.UpdateCheckIntervalHours.load(std::memory_order_relaxed);
    record.IncludeBetas = appSettings.IncludeBetas.load(std::memory_order_relaxed);
    record.LogFilePath = appSettings.LogFilePath.Get();
    record.SoundFilePath = appSettings.SoundFilePath.Get();
    record.MetricsFilePath = appSettings.MetricsFilePath.Get();
    record.MainDialogPlacement = appSettings.MainDialogPlacement.Get();
    record.Exclusions = appSettings.Exclusions.Get();
    return record;
}

void ApplySettings(const SettingsRecord& record) {
    appSettings.PollIntervalMs.store(record.PollIntervalMs, std::memory_order_relaxed);
    appSettings.AlertActions.store(record.AlertActions, std::memory_order_relaxed);
    appSettings.NotificationThrottleSec.store(record.NotificationThrottleSec, std::memory_order_relaxed);
    appSettings.UpdateCheckIntervalHours.store(record.UpdateCheckIntervalHours, std::memory_order_relaxed);
    appSettings.IncludeBetas.store(record.IncludeBetas, std::memory_order_relaxed);
    appSettings.LogFilePath.Set(record.LogFilePath);
    appSettings.SoundFilePath.Set(record.SoundFilePath);
    appSettings.MetricsFilePath.Set(record.MetricsFilePath);
    appSettings.MainDialogPlacement.Set(record.MainDialogPlacement);
    appSettings.Exclusions.Set(record.Exclusions);
}

void LoadSettings() {
    SettingsRecord record = CurrentSettings();
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        DecodeSettings([&key](const std::wstring& name) { return ReadRegistryValue(key.get(), name); }, record);
        key.reset();
    }
    // An empty path here switches logging off for this run only when the folder is unknown.
    if (record.LogFilePath.empty()) {
        record.LogFilePath = AppDataLogFilePath();
    }
    ApplySettings(record);
}

void SaveSettings() {
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const NamedValue& value : EncodeSettings(CurrentSettings())) {
        WriteRegistryValue(key.get(), value.Name, value.Value);
    }
}

bool IsStartWithWindowsEnabled() {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    return RegQueryValueExW(key.get(), kRunValueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

void SetStartWithWindows() {
    const bool enabled = IsStartWithWindowsEnabled();
    UniqueHKey key;
    // Created when missing: a new profile may have no Run key yet.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    if (enabled) {
        RegDeleteValueW(key.get(), kRunValueName);
        return;
    }
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const std::wstring quoted = L"\"" + std::wstring(path, length) + L"\"";
    WriteRegistryValue(key.get(), kRunValueName, EncodeText(quoted));
}

void ResetSettingsToDefaults() {
    SettingsRecord record;
    record.MainDialogPlacement = appSettings.MainDialogPlacement.Get();
    // When the folder is unknown the path stays as it was, as a load would leave it.
    record.LogFilePath = AppDataLogFilePath();
    if (record.LogFilePath.empty()) {
        record.LogFilePath = appSettings.LogFilePath.Get();
    }
    ApplySettings(record);
    SaveSettings();
}
