#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "settings/app_settings.h"
#include "support/test_support.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/update_state.h"
#include "update/version.h"
#include "win/support/local_http_server.h"
#include "win/support/watchkeep_process.h"

namespace {

// Real WinINet against a server of the test's own; the program's server address is put back after.
class UpdateClient : public SavedStateTest {
protected:
    void Serve(std::map<std::string, LocalHttpServer::Reply> replies, bool includeBetas) {
        server_.emplace(std::move(replies));
        updateServer.Set(server_->Base());
        appSettings.IncludeBetas = includeBetas;
    }
    void TearDown() override {
        updateServer.Set(kServer);
        appSettings.IncludeBetas = kDefaultIncludeBetas;
        SavedStateTest::TearDown();
    }
    const std::wstring kServer = updateServer.Get();
    std::optional<LocalHttpServer> server_;
    TraceCapture traces_;
};

bool HasLineStarting(const TraceCapture& traces, std::wstring_view start) {
    const auto lines = traces.Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [start](const std::wstring& line) { return line.starts_with(start); });
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

}  // namespace

TEST_F(UpdateClient, RepliesBecomeTheLatestVersionOrTheOwnOneAndSwitchedOffNothingIsAsked) {
    const std::string atCap = "0.0.1.24" + std::string(kVersionTextMaxBytes - 8, ' ');
    const struct {
        LocalHttpServer::Reply reply;
        bool includeBetas;
        const wchar_t* latest;
        DWORD result;
        const wchar_t* trace;
    } cases[] = {
        {{200, "0.0.1.24\r\n"}, false, L"0.0.1.24", 0, L"Returned download size of 10 bytes"},
        {{200, "0.0.1.23"}, true, L"0.0.1.23", 0, L"Returned download size of 8 bytes"},
        {{200, "<p>Version: 0.0.2.0</p>"}, false, L"0.0.2.0", 0, L"DownloadFile URL: http://127.0.0.1:"},
        {{200, "Version 1.2.3"}, false, kDisplayVersion, 0, L"WARNING: Invalid version string received: 1.2.3"},
        {{404, "0.0.9.9"}, false, kDisplayVersion, 1, L"HTTP error 404 for URL: http://127.0.0.1:"},
        {{200, ""}, false, kDisplayVersion, 1, L"ERROR checking update"},
        {{200, std::string("\0"
                           "0.0.9.9",
                           8)},
         false,
         kDisplayVersion,
         1,
         L"ERROR checking update"},
        {{200, atCap}, false, L"0.0.1.24", 0, L"Returned download size of 4096 bytes"},
        {{200, atCap + "9"}, false, kDisplayVersion, 1, L"ERROR checking update"},
    };
    const UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    for (const auto& [reply, includeBetas, latest, result, trace] : cases) {
        SCOPED_TRACE(testing::Message() << reply.status << " " << reply.body.substr(0, 24));
        // Only the selected channel's path answers; the other one would give 404.
        Serve({{includeBetas ? "/versioninfo/watchkeep/beta/" : "/versioninfo/watchkeep/", reply}}, includeBetas);
        latestVersion.Set(L"0.0.0.0");
        traces_.Clear();
        EXPECT_EQ(CheckForUpdate(done.get()), result);
        EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(latestVersion.Get(), latest);
        EXPECT_EQ(server_->Requests(), 1);
        EXPECT_TRUE(HasLineStarting(traces_, trace)) << trace;
    }

    const DWORD one = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateChecksDisabled", REG_DWORD, &one, 4), 0);
    Serve({{"/versioninfo/watchkeep/beta/", {200, "0.0.1.24"}}}, true);
    latestVersion.Set(L"0.0.0.0");
    EXPECT_EQ(CheckForUpdate(done.get()), 0u);
    EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(latestVersion.Get(), L"0.0.0.0");
    EXPECT_EQ(server_->Requests(), 0);
}

TEST_F(UpdateClient, InstallersWithoutATrustedSignatureOrTooLargeAreRefusedAndNothingIsStarted) {
    std::string tampered = ReadBytes(BuildBinaryPath(L"..\\release\\files\\watchkeepsetup.exe"));
    tampered[tampered.size() / 2] ^= 0x55;
    const std::pair<std::string, const wchar_t*> cases[] = {
        {ReadBytes(BuildBinaryPath(L"loadgen_win.exe")), L"ERROR: digital signature verification failed for "},
        {tampered, L"ERROR: digital signature verification failed for "},
        {std::string(kInstallerMaxBytes + 1, 'M'), L"ERROR downloading file"},
    };
    const TestFolder temp;
    const std::wstring withBackslash = temp.Path(L"");
    const std::wstring installer = temp.Path(L"Watchkeep\\watchkeepsetup.exe");
    for (const auto& [bytes, trace] : cases) {
        // With and without the trailing backslash, the installer lands in one place.
        for (const std::wstring& tmp : {withBackslash, withBackslash.substr(0, withBackslash.size() - 1)}) {
            SCOPED_TRACE(testing::Message() << bytes.size() << " bytes");
            Serve({{"/files/watchkeepsetup.exe", {200, bytes}}}, false);
            SetEnvironmentVariableW(L"TMP", tmp.c_str());
            EXPECT_FALSE(DownloadAndRunInstaller());
            EXPECT_TRUE(traces_.Contains(L"Download save path: " + installer));
            EXPECT_TRUE(HasLineStarting(traces_, trace));
            EXPECT_EQ(GetFileAttributesW(installer.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_FALSE(ReadSetting(L"UpdateFinished"));
        }
    }
    SetEnvironmentVariableW(L"TMP", nullptr);
}

// Wine's WinVerifyTrust does not check the chain: the test certificate's signature passes there,
// where Windows would refuse it unless its root were trusted.
TEST_F(UpdateClient, SignedInstallerEndsTheProgramInstallsItAndTheNewOneSpendsTheMark) {
    const std::wstring signedSetup = BuildBinaryPath(L"..\\release\\files\\beta\\watchkeepsetup.exe");
    Serve({{"/files/beta/watchkeepsetup.exe", {200, ReadBytes(signedSetup)}}}, true);
    WatchkeepProcess running;
    ASSERT_NE(running.WaitForTray(), nullptr);
    ASSERT_TRUE(DownloadAndRunInstaller());
    EXPECT_TRUE(HasLineStarting(traces_, L"Launching installer: "));
    EXPECT_EQ(running.ExitCode(), 0u);

    // The installer starts the installed program, which shows the post-update balloon and writes 0.
    wchar_t local[MAX_PATH] = {}, programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    const std::wstring folder = std::wstring(local) + L"\\Programs\\Watchkeep";
    const std::wstring shortcut = std::wstring(programs) + L"\\Watchkeep.lnk";
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == std::vector<BYTE>(4, 0); }, 30000));
    EXPECT_NE(FindWindowW(kTrayClass, kTrayTitle), nullptr);
    EXPECT_NE(GetFileAttributesW((folder + L"\\watchkeep.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);

    // The registered quiet uninstaller ends the program and removes it ("_?=" keeps it in place, to wait for it).
    wchar_t uninstall[MAX_PATH] = {};
    DWORD size = sizeof(uninstall);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Watchkeep",
                           L"QuietUninstallString", RRF_RT_REG_SZ, nullptr, uninstall, &size),
              ERROR_SUCCESS);
    std::wstring command = std::wstring(uninstall) + L" _?=" + folder;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    const UniqueHandle uninstaller(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(uninstaller.get(), 120000), WAIT_OBJECT_0);
    EXPECT_EQ(FindWindowW(kTrayClass, kTrayTitle), nullptr);
    EXPECT_EQ(GetFileAttributesW((folder + L"\\watchkeep.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW((folder + L"\\uninstall.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}
