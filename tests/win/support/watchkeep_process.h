#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/win_handles.h"
#include "win/support/test_paths.h"

// Starting and ending the real watchkeep.exe from a test. Every instance a test starts is ended
// when its WatchkeepProcess goes out of scope, whatever the test's outcome.
inline constexpr wchar_t kTrayClass[] = L"WATCHKEEPW";
inline constexpr wchar_t kTrayTitle[] = L"Watchkeep";
inline constexpr wchar_t kMainDialogCaption[] = L"Watchkeep - Process Resource Monitor";
inline constexpr wchar_t kAlertLogCaption[] = L"Watchkeep - Alert Log";

// Polls until the predicate holds or the time is up; returns the last result.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs = 10000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (predicate()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

inline HWND FindTrayWindow() { return FindWindowW(kTrayClass, kTrayTitle); }

// Top-level dialogs ("#32770") with the given caption, of any process.
inline std::vector<HWND> FindDialogs(const wchar_t* caption) {
    struct Search {
        const wchar_t* caption;
        std::vector<HWND> found;
    } search{caption, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t className[32] = {};
            wchar_t text[128] = {};
            GetClassNameW(window, className, 32);
            GetWindowTextW(window, text, 128);
            if (std::wstring(className) == L"#32770" && std::wstring(text) == s->caption && IsWindowVisible(window)) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs watchkeep.exe with the arguments; the process handle, or empty on failure.
inline UniqueHandle StartWatchkeep(const std::wstring& arguments) {
    const std::wstring exe = BuildBinaryPath(L"watchkeep.exe");
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

// Waits for a process to end; its exit code, or STILL_ACTIVE when it did not end in time.
inline DWORD WaitForExit(HANDLE process, DWORD timeoutMs = 15000) {
    WaitForSingleObject(process, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

class WatchkeepProcess {
public:
    explicit WatchkeepProcess(const std::wstring& arguments = L"-tray") : process_(StartWatchkeep(arguments)) {}
    ~WatchkeepProcess() { End(); }
    WatchkeepProcess(const WatchkeepProcess&) = delete;
    WatchkeepProcess& operator=(const WatchkeepProcess&) = delete;

    HANDLE get() const { return process_.get(); }
    // The tray window once the instance is up, or null after ten seconds.
    HWND WaitForTray() const {
        HWND tray = nullptr;
        WaitUntil([&tray] { return (tray = FindTrayWindow()) != nullptr; });
        return tray;
    }
    // Asks the instance to end as a user would, and kills it if it does not.
    void End() {
        if (!process_ || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) return;
        UniqueHandle terminator = StartWatchkeep(L"-terminate");
        if (terminator) WaitForExit(terminator.get());
        if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 5000);
        }
    }

private:
    UniqueHandle process_;
};

inline std::wstring WatchkeepDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\Watchkeep";
}
