#include "settings/settings_store_win.h"

#include <windows.h>

#include "base/app_data_folder_win.h"
#include "base/handles_win.h"
#include "settings/app_settings.h"
#include "settings/registry_value_win.h"

namespace {

std::wstring AppDataLogFilePath() {
    const std::wstring folder = RoamingAppDataFolder();
    return folder.empty() ? std::wstring() : DefaultLogFilePath(folder);
}

}  // namespace

SettingsRecord CurrentSettings(const AppSettings& settings) {
    SettingsRecord record;
    record.PollIntervalMs = settings.PollIntervalMs.load(std::memory_order_relaxed);
    record.AlertActions = settings.AlertActions.load(std::memory_order_relaxed);
    record.NotificationThrottleSec = settings.NotificationThrottleSec.load(std::memory_order_relaxed);
    record.UpdateCheckIntervalHours = settings.UpdateCheckIntervalHours.load(std::memory_order_relaxed);
    record.IncludeBetas = settings.IncludeBetas.load(std::memory_order_relaxed);
    record.LogFilePath = settings.LogFilePath.Get();
    record.SoundFilePath = settings.SoundFilePath.Get();
    record.MetricsFilePath = settings.MetricsFilePath.Get();
    record.MainDialogPlacement = settings.MainDialogPlacement.Get();
    record.Exclusions = settings.Exclusions.Get();
    return record;
}

void ApplySettings(const SettingsRecord& record, AppSettings& settings) {
    settings.PollIntervalMs.store(record.PollIntervalMs, std::memory_order_relaxed);
    settings.AlertActions.store(record.AlertActions, std::memory_order_relaxed);
    settings.NotificationThrottleSec.store(record.NotificationThrottleSec, std::memory_order_relaxed);
    settings.UpdateCheckIntervalHours.store(record.UpdateCheckIntervalHours, std::memory_order_relaxed);
    settings.IncludeBetas.store(record.IncludeBetas, std::memory_order_relaxed);
    settings.LogFilePath.Set(record.LogFilePath);
    settings.SoundFilePath.Set(record.SoundFilePath);
    settings.MetricsFilePath.Set(record.MetricsFilePath);
    settings.MainDialogPlacement.Set(record.MainDialogPlacement);
    settings.Exclusions.Set(record.Exclusions);
}

void LoadSettings(AppSettings& settings) {
    SettingsRecord record = CurrentSettings(settings);
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        DecodeSettings([&key](const std::wstring& name) { return ReadRegistryValue(key.get(), name); }, record);
        key.reset();
    }
    // An empty path here switches logging off for this run only when the folder is unknown.
    if (record.LogFilePath.empty()) {
        record.LogFilePath = AppDataLogFilePath();
    }
    ApplySettings(record, settings);
}

void SaveSettings(const AppSettings& settings) {
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const NamedValue& value : EncodeSettings(CurrentSettings(settings))) {
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

void ResetSettingsToDefaults(AppSettings& settings) {
    SettingsRecord record;
    record.MainDialogPlacement = settings.MainDialogPlacement.Get();
    // When the folder is unknown the path stays as it was, as a load would leave it.
    record.LogFilePath = AppDataLogFilePath();
    if (record.LogFilePath.empty()) {
        record.LogFilePath = settings.LogFilePath.Get();
    }
    ApplySettings(record, settings);
    SaveSettings(settings);
}
