#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "base/app_data_folder_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "settings/settings_store_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "win/support/test_paths.h"

// The real watchkeep.exe from a test: starting and ending it, finding its windows, and the state
// it saves.
inline constexpr wchar_t kTrayClass[] = L"WATCHKEEPW";
inline constexpr wchar_t kTrayTitle[] = L"Watchkeep";
inline constexpr wchar_t kMainDialogCaption[] = L"Watchkeep - Process Resource Monitor";
inline constexpr wchar_t kAlertLogCaption[] = L"Watchkeep - Alert Log";

template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs = 10000) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; Sleep(50)) {
        if (predicate()) {
            return true;
        }
    }
    return predicate();
}

inline size_t CountDialogs(const wchar_t* caption) {
    size_t count = 0;
    for (HWND dialog = nullptr; (dialog = FindWindowExW(nullptr, dialog, L"#32770", caption)) != nullptr;) {
        count += IsWindowVisible(dialog) ? 1 : 0;
    }
    return count;
}

inline HWND VisiblePopupMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// One run of watchkeep.exe, ended with the test whatever its outcome: a run still going is asked
// to end as a user would, and killed if it does not.
class WatchkeepProcess {
public:
    explicit WatchkeepProcess(const std::wstring& arguments = L"-tray")
        : process_(StartProgram(L"watchkeep.exe", arguments)),
          terminator_(arguments.find(L"-terminate") != std::wstring::npos) {}
    ~WatchkeepProcess() {
        if (!process_ || ExitCode(0) != STILL_ACTIVE) {
            return;
        }
        // A terminator that hangs is only killed, so ending never recurses.
        if (!terminator_) {
            WatchkeepProcess(L"-terminate").ExitCode();
        }
        if (ExitCode(10000) == STILL_ACTIVE) {
            TerminateProcess(process_.get(), 1);
        }
        WaitForSingleObject(process_.get(), 5000);
    }
    WatchkeepProcess(const WatchkeepProcess&) = delete;
    WatchkeepProcess& operator=(const WatchkeepProcess&) = delete;
    DWORD ExitCode(DWORD timeoutMs = 15000) const {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(process_.get(), timeoutMs);
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    // Ended as a crash or a task manager would end it: nothing of its shutdown runs.
    void Kill() const { ExitCode(TerminateProcess(process_.get(), 9) ? 5000 : 0); }
    static HWND WaitForTray(DWORD timeoutMs = 10000) {
        HWND tray = nullptr;
        WaitUntil([&tray] { return (tray = FindWindowW(kTrayClass, kTrayTitle)) != nullptr; }, timeoutMs);
        return tray;
    }

private:
    UniqueHandle process_;
    bool terminator_;
};

// The "#32770" window `owner` opened (any owner when null) with the caption (any when null), once it
// shows: a dialog, a file picker or, when asked, only a message box (its text is control 0xFFFF).
inline HWND OwnedDialog(HWND owner, const wchar_t* caption = nullptr, bool messageBox = false) {
    HWND popup = nullptr;
    const auto found = [&] {
        return (!owner || GetWindow(popup, GW_OWNER) == owner) && IsWindowVisible(popup) &&
               (!messageBox || GetDlgItem(popup, 0xFFFF));
    };
    WaitUntil(
        [&] {
            while ((popup = FindWindowExW(nullptr, popup, L"#32770", caption)) != nullptr && !found()) {
            }
            return popup != nullptr;
        },
        30000);
    return popup;
}

inline HWND WaitForDialog(const wchar_t* caption) { return OwnedDialog(nullptr, caption); }

// Closes a dialog as the button would, and waits until it is gone.
inline void Close(HWND window, WPARAM id) {
    PostMessageW(window, WM_COMMAND, id, 0);
    EXPECT_TRUE(WaitUntil([window] { return !IsWindow(window); }));
}

// Answers the message box `owner` opens (a caption narrows it) with the button; its text.
inline std::wstring AnswerMessageBox(HWND owner, WPARAM button, const wchar_t* caption = nullptr) {
    HWND box = OwnedDialog(owner, caption, true);
    const std::wstring text = DialogItemText(box, 0xFFFF);
    Close(box, button);
    return text;
}

// Answers the file picker `owner` opens: the path into its file name field (1148), then OK.
inline void AnswerFilePicker(HWND owner, const std::wstring& path) {
    HWND picker = OwnedDialog(owner);
    SetDlgItemTextW(picker, 1148, path.c_str());
    Close(picker, IDOK);
}

inline HWND OpenMainDialog(HWND tray) {
    PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    return WaitForDialog(kMainDialogCaption);
}

inline bool OpenTrayMenu(HWND tray) {
    PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    return WaitUntil([] { return VisiblePopupMenu() != nullptr; });
}

// An entry of the tray menu, picked by its mnemonic.
inline void ChooseFromTrayMenu(HWND tray, wchar_t mnemonic) {
    ASSERT_TRUE(OpenTrayMenu(tray));
    PostMessageW(tray, WM_CHAR, mnemonic, 0);
    ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
}

inline int ListRows(HWND dialog, int list) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, list), LVM_GETITEMCOUNT, 0, 0));
}

// The main dialog's import, its file picker answered with the path.
inline void ImportRules(HWND dialog, const std::wstring& path) {
    PostMessageW(GetDlgItem(dialog, IDC_IMPORT_RULES), BM_CLICK, 0, 0);
    AnswerFilePicker(dialog, path);
}

inline std::wstring WatchkeepFile(const wchar_t* name) {
    return RoamingAppDataFolder() + L"\\Watchkeep\\" + name;
}

// Where the installer puts the program: the user's own programs folder.
inline std::wstring InstallFolder() {
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    return std::wstring(local) + L"\\Programs\\Watchkeep";
}

// A value under the settings key or another key of the user (tests keep theirs small), or nullopt
// when it is absent.
inline std::optional<std::vector<BYTE>> ReadSetting(const wchar_t* name, DWORD* type = nullptr,
                                                    const wchar_t* key = kSettingsKeyPath) {
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, type, data.data(), &size)) {
        return {};
    }
    data.resize(size);
    return data;
}

// Runs the quiet uninstaller the installer registered, kept in place with "_?=" so that its end is
// the end of the uninstall, then removes it and the emptied folder. False when it did not run to its end.
inline bool Uninstall(const std::wstring& folder = InstallFolder()) {
    const auto command = ReadSetting(L"QuietUninstallString", nullptr,
                                     L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Watchkeep");
    const UniqueHandle uninstaller =
        command ? StartProcess(reinterpret_cast<const wchar_t*>(command->data()) + std::wstring(L" _?=") + folder)
                : UniqueHandle();
    const bool ended = uninstaller && WaitForSingleObject(uninstaller.get(), 120000) == WAIT_OBJECT_0;
    DeleteFileW((folder + L"\\uninstall.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    return ended;
}

// Every test that saves, or runs something that saves at its end, starts and ends with no
// settings key, no rules file, no alert log and no Run value.
class SavedStateTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveSavedState(); }
    void TearDown() override { RemoveSavedState(); }
    static void RemoveSavedState() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
        DeleteFileW(WatchkeepFile(L"rules.csv").c_str());
        DeleteFileW(WatchkeepFile(L"alerts.log").c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName);
    }
};
