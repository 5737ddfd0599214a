#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "settings/app_settings.h"
#include "support/trace_capture.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/update_state.h"
#include "update/version.h"
#include "support/test_folder.h"
#include "win/support/local_http_server.h"
#include "win/support/watchkeep_process.h"

namespace {

// Real WinINet against a server of the test's own; the program's server address is put back after.
class UpdateClient : public SavedStateTest {
protected:
    void TearDown() override {
        updateServer.Set(kServer);
        appSettings.IncludeBetas = kDefaultIncludeBetas;
        SavedStateTest::TearDown();
    }
    const std::wstring kServer = updateServer.Get();
};

bool HasLineStarting(const TraceCapture& traces, std::wstring_view start) {
    const auto lines = traces.Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [start](const std::wstring& line) { return line.starts_with(start); });
}

}  // namespace

TEST_F(UpdateClient, RepliesBecomeTheLatestVersionOrTheOwnOneWithTheirTraces) {
    const std::string atCap = "0.0.1.24" + std::string(kVersionTextMaxBytes - 8, ' ');
    const struct {
        const char* name;
        LocalHttpServer::Reply reply;
        bool includeBetas;
        const wchar_t* latest;
        DWORD result;
        const wchar_t* trace;
    } cases[] = {
        {"newer", {200, "0.0.1.24\r\n"}, false, L"0.0.1.24", 0, L"Returned download size of 10 bytes"},
        {"same", {200, "0.0.1.23"}, true, L"0.0.1.23", 0, L"Returned download size of 8 bytes"},
        {"words around", {200, "<p>Version: 0.0.2.0</p>"}, false, L"0.0.2.0", 0, nullptr},
        {"too few parts",
         {200, "Version 1.2.3"},
         false,
         kDisplayVersion,
         0,
         L"WARNING: Invalid version string received: 1.2.3"},
        {"404", {404, "0.0.9.9"}, false, kDisplayVersion, 1, L"HTTP error 404 for URL: http://127.0.0.1:"},
        {"empty", {200, ""}, false, kDisplayVersion, 1, L"ERROR checking update"},
        {"NUL first",
         {200, std::string("\0"
                           "0.0.9.9",
                           8)},
         false,
         kDisplayVersion,
         1,
         L"ERROR checking update"},
        {"at the cap", {200, atCap}, false, L"0.0.1.24", 0, nullptr},
        {"over the cap", {200, atCap + "9"}, false, kDisplayVersion, 1, L"ERROR checking update"},
    };
    for (const auto& [name, reply, includeBetas, latest, result, trace] : cases) {
        SCOPED_TRACE(name);
        // Only the selected channel's path answers; the other one would give 404.
        LocalHttpServer server({{includeBetas ? "/versioninfo/watchkeep/beta/" : "/versioninfo/watchkeep/", reply}});
        updateServer.Set(server.Base());
        appSettings.IncludeBetas = includeBetas;
        latestVersion.Set(L"0.0.0.0");
        const UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        TraceCapture traces;
        EXPECT_EQ(CheckForUpdate(done.get()), result);
        EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(latestVersion.Get(), latest);
        EXPECT_EQ(server.Requests(), 1);
        const std::wstring url = VersionInfoUrl(server.Base(), includeBetas);
        EXPECT_TRUE(traces.Contains(L"DownloadFile URL: " + url + L"\n"));
        if (trace) {
            EXPECT_TRUE(HasLineStarting(traces, trace)) << trace;
        }
    }
}

TEST_F(UpdateClient, SwitchedOffNoRequestIsMadeAndTheLatestVersionStays) {
    LocalHttpServer server({{"/versioninfo/watchkeep/beta/", {200, "0.0.1.24"}}});
    updateServer.Set(server.Base());
    const DWORD one = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateChecksDisabled", REG_DWORD, &one, 4), 0);
    latestVersion.Set(L"0.0.0.0");
    const UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(CheckForUpdate(done.get()), 0u);
    EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(latestVersion.Get(), L"0.0.0.0");
    EXPECT_EQ(server.Requests(), 0);
    EXPECT_FALSE(IsNewerVersion(latestVersion.Get().c_str()));
}

namespace {

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

// The first running process with this executable name, opened to wait on it.
UniqueHandle FindProcess(const wchar_t* name) {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            return UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        }
    }
    return {};
}

std::wstring ProcessImageOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process.get(), 0, image, &size);
    return image;
}

}  // namespace

TEST_F(UpdateClient, InstallersWithoutATrustedSignatureAreDeletedAndNeverStarted) {
    std::string tampered = ReadBytes(BuildBinaryPath(L"..\\release\\files\\watchkeepsetup.exe"));
    tampered[tampered.size() / 2] ^= 0x55;
    const struct {
        const char* name;
        std::map<std::string, LocalHttpServer::Reply> files;
        const wchar_t* trace;
    } cases[] = {
        {"unsigned",
         {{"/files/watchkeepsetup.exe", {200, ReadBytes(BuildBinaryPath(L"loadgen_win.exe"))}}},
         L"ERROR: digital signature verification failed for "},
        {"tampered",
         {{"/files/watchkeepsetup.exe", {200, tampered}}},
         L"ERROR: digital signature verification failed for "},
        {"missing", {}, L"ERROR downloading file"},
    };
    const TestFolder temp;
    const std::wstring withBackslash = temp.Path(L"");
    appSettings.IncludeBetas = false;
    for (const auto& [name, files, trace] : cases) {
        // With and without the trailing backslash, the installer lands in one place.
        for (const std::wstring& tmp : {withBackslash, withBackslash.substr(0, withBackslash.size() - 1)}) {
            SCOPED_TRACE(name);
            LocalHttpServer server(files);
            updateServer.Set(server.Base());
            SetEnvironmentVariableW(L"TMP", tmp.c_str());
            TraceCapture traces;
            EXPECT_FALSE(DownloadAndRunInstaller());
            const std::wstring installer = temp.Path(L"Watchkeep\\watchkeepsetup.exe");
            EXPECT_TRUE(traces.Contains(L"Download save path: " + installer));
            EXPECT_TRUE(HasLineStarting(traces, trace));
            EXPECT_EQ(GetFileAttributesW(installer.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_FALSE(ReadSetting(L"UpdateFinished"));
        }
    }
    SetEnvironmentVariableW(L"TMP", nullptr);
}

// Wine's WinVerifyTrust does not check the chain: the test certificate's signature passes there,
// where Windows would refuse it unless its root were trusted.
TEST_F(UpdateClient, SignedInstallerEndsTheRunningProgramInstallsItAndTheNewOneReportsTheUpdate) {
    LocalHttpServer server({{"/files/beta/watchkeepsetup.exe",
                             {200, ReadBytes(BuildBinaryPath(L"..\\release\\files\\beta\\watchkeepsetup.exe"))}}});
    updateServer.Set(server.Base());
    appSettings.IncludeBetas = true;
    WatchkeepProcess running;
    ASSERT_NE(running.WaitForTray(), nullptr);

    TraceCapture traces;
    ASSERT_TRUE(DownloadAndRunInstaller());
    EXPECT_TRUE(HasLineStarting(traces, L"Launching installer: "));
    WaitForSingleObject(FindProcess(L"watchkeepsetup.exe").get(), 120000);
    EXPECT_EQ(running.ExitCode(), 0u);

    // The installer starts the installed program, which shows the post-update balloon and spends the mark.
    HWND tray = nullptr;
    ASSERT_TRUE(WaitUntil([&tray] { return (tray = FindWindowW(kTrayClass, kTrayTitle)) != nullptr; }, 30000));
    const std::wstring installed = ProcessImageOf(tray);
    EXPECT_NE(installed.find(L"\\AppData\\Local\\Programs\\Watchkeep\\watchkeep.exe"), std::wstring::npos) << installed;
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == std::vector<BYTE>(4, 0); }));
    wchar_t uninstall[MAX_PATH] = {};
    DWORD size = sizeof(uninstall);
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    const std::wstring shortcut = std::wstring(programs) + L"\\Watchkeep.lnk";
    EXPECT_NE(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Watchkeep",
                           L"QuietUninstallString", RRF_RT_REG_SZ, nullptr, uninstall, &size),
              ERROR_SUCCESS);

    // The quiet uninstaller ends the program and removes it; "_?=" keeps it in place so it can be waited for.
    const std::wstring folder = installed.substr(0, installed.find_last_of(L'\\'));
    std::wstring command = std::wstring(uninstall) + L" _?=" + folder;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    const UniqueHandle uninstaller(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(uninstaller.get(), 120000), WAIT_OBJECT_0);
    EXPECT_EQ(FindWindowW(kTrayClass, kTrayTitle), nullptr);
    EXPECT_EQ(GetFileAttributesW(installed.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW((folder + L"\\uninstall.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}
