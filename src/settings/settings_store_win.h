#pragma once

#include "settings/app_settings.h"
#include "settings/settings_codec.h"

// The settings record against HKEY_CURRENT_USER\Software\Watchkeep. Registry failures are silent:
// a value that cannot be read keeps its default, a key that cannot be created saves nothing.
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Watchkeep";
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Watchkeep";

void LoadSettings(AppSettings& settings);
void SaveSettings(const AppSettings& settings);
bool IsStartWithWindowsEnabled();
// Writes the Run value when it is absent and deletes it when present.
void SetStartWithWindows();
// Every setting but the dialog placement back to its default, then saved.
void ResetSettingsToDefaults(AppSettings& settings);

// The record as held in memory now, and the reverse.
SettingsRecord CurrentSettings(const AppSettings& settings);
void ApplySettings(const SettingsRecord& record, AppSettings& settings);
