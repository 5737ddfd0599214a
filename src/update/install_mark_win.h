#pragma once

#include <optional>
#include <string>

// The registry mark of an update being installed: "UpdateFinished" (REG_DWORD 1) and beside it
// "UpdateVersion" (REG_SZ), the version the installer carries, under the settings key.
void MarkInstallStarting(const std::wstring& version);
// A launch that failed: "UpdateFinished" back to 0, "UpdateVersion" removed.
void ClearInstallMark();

struct InstallMark {
    std::wstring version;
    // The running program is the version being installed. A mark without a version, left by an
    // older program, counts as completed, as it always did.
    bool completed = false;
};

// The mark a previous run left, reset as it is read; nothing when there is none.
std::optional<InstallMark> TakeInstallMark(const std::wstring& runningVersion);
