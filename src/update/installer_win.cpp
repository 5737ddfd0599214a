#include "update/installer_win.h"

#include <shellapi.h>
#include <softpub.h>
#include <wintrust.h>

#include <atomic>
#include <string>

#include "base/debug_trace.h"
#include "base/exception_barrier_win.h"
#include "base/resource_strings_win.h"
#include "base/win_handles.h"
#include "res/resource.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/update_state.h"

namespace {

constexpr DWORD kTempPathChars = 4096;

std::atomic<bool> installerRunning{false};

bool WriteInstaller(const std::wstring& path, const std::string& bytes) {
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DebugTrace(L"ERROR creating file");
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        DebugTrace(L"ERROR writing file");
        return false;
    }
    return true;
}

// The system's trust verdict on the file's signature, 0 when it trusts it. The second call
// releases what the provider kept for the first, whatever the verdict.
LONG VerifySignature(const std::wstring& path) {
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    WINTRUST_DATA trust = {};
    trust.cbStruct = sizeof(trust);
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo;
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    trust.dwProvFlags = WTD_SAFER_FLAG;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG verdict = WinVerifyTrust(nullptr, &action, &trust);
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &action, &trust);
    return verdict;
}

void SetUpdateFinished(bool create, DWORD value) {
    UniqueHKey key;
    const LONG opened = create ? RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr,
                                                 key.put(), nullptr)
                               : RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_WRITE, key.put());
    if (opened == ERROR_SUCCESS) {
        RegSetValueExW(key.get(), L"UpdateFinished", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }
}

bool Launch(const std::wstring& path) {
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof(launch);
    launch.fMask = SEE_MASK_NOCLOSEPROCESS;
    launch.lpVerb = L"open";
    launch.lpFile = path.c_str();
    launch.lpParameters = L"/S";
    launch.nShow = SW_SHOWNORMAL;
    const bool started = ShellExecuteExW(&launch);
    // The installer runs on by itself; its handle is not waited for.
    const UniqueHandle process(launch.hProcess);
    return started && process;
}

}  // namespace

bool DownloadAndRunInstaller() {
    wchar_t temp[kTempPathChars] = {};
    GetTempPathW(kTempPathChars, temp);
    CreateDirectoryW(InstallerFolder(temp).c_str(), nullptr);
    const std::wstring path = InstallerPath(temp);
    DebugTrace(L"Download save path: %ls", path.c_str());
    {
        // The downloaded bytes live only as long as this block.
        std::string bytes;
        const bool includeBetas = appSettings.IncludeBetas.load(std::memory_order_relaxed);
        if (!DownloadToMemory(InstallerUrl(updateServer.Get(), includeBetas), kInstallerMaxBytes, bytes) ||
            bytes.empty()) {
            DebugTrace(L"ERROR downloading file");
            return false;
        }
        if (!WriteInstaller(path, bytes)) {
            return false;
        }
    }
    const LONG verdict = VerifySignature(path);
    if (verdict != 0) {
        DebugTrace(L"WinVerifyTrust failed with 0x%08X for %ls", static_cast<unsigned>(verdict), path.c_str());
        DebugTrace(L"ERROR: digital signature verification failed for %ls", path.c_str());
        DeleteFileW(path.c_str());
        return false;
    }
    DebugTrace(L"Launching installer: %ls", path.c_str());
    SetUpdateFinished(true, 1);
    if (Launch(path)) {
        return true;
    }
    DebugTrace(L"ERROR Launching %ls", path.c_str());
    SetUpdateFinished(false, 0);
    return false;
}

DWORD WINAPI InstallUpdate(LPVOID trayWindow) {
    if (DownloadAndRunInstaller()) {
        PostMessageW(static_cast<HWND>(trayWindow), UWM_EXIT, 0, 0);
    } else {
        MessageBoxW(nullptr, LoadStringResource(IDS_UPDATE_DOWNLOAD_FAILED).c_str(),
                    LoadStringResource(IDS_UPDATE_ERROR_TITLE).c_str(), MB_ICONERROR | MB_SETFOREGROUND);
    }
    installerRunning.store(false);
    return 0;
}

void StartInstallUpdate(HWND trayWindow) {
    if (installerRunning.exchange(true)) {
        DebugTrace(L"Installer already running");
        return;
    }
    const UniqueHandle thread(CreateThread(nullptr, 0, GuardedThread<InstallUpdate>, trayWindow, 0, nullptr));
    if (!thread) {
        installerRunning.store(false);
    }
}
