#include "update/install_mark_win.h"

#include <windows.h>

#include "base/handles_win.h"
#include "settings/registry_value_win.h"
#include "settings/settings_store_win.h"
#include "update/version.h"

namespace {

constexpr wchar_t kFinishedValue[] = L"UpdateFinished";
constexpr wchar_t kVersionValue[] = L"UpdateVersion";
constexpr DWORD kVersionMaxChars = 64;

}  // namespace

void MarkInstallStarting(const std::wstring& version) {
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    WriteRegistryValue(key.get(), kVersionValue, EncodeText(version));
    WriteRegistryDword(key.get(), kFinishedValue, 1);
}

void ClearInstallMark() {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_WRITE, key.put()) == ERROR_SUCCESS) {
        WriteRegistryDword(key.get(), kFinishedValue, 0);
        RegDeleteValueW(key.get(), kVersionValue);
    }
}

std::optional<InstallMark> TakeInstallMark(const std::wstring& runningVersion) {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (ReadRegistryDword(key.get(), kFinishedValue).value_or(0) == 0) {
        return std::nullopt;
    }
    wchar_t version[kVersionMaxChars] = {};
    DWORD versionBytes = sizeof(version) - sizeof(wchar_t);
    const bool known = RegGetValueW(key.get(), nullptr, kVersionValue, RRF_RT_REG_SZ, nullptr, version,
                                    &versionBytes) == ERROR_SUCCESS;
    WriteRegistryDword(key.get(), kFinishedValue, 0);
    RegDeleteValueW(key.get(), kVersionValue);
    const bool completed = !known || ParseVersion(version) == ParseVersion(runningVersion.c_str());
    return InstallMark{known ? version : runningVersion, completed};
}
