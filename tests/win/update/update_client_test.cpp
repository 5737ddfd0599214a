#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/tray_window_win.h"
#include "res/resource.h"
#include "support/test_support.h"
#include "update/install_mark_win.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/version.h"
#include "win/support/local_http_server.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"

namespace {

// Real WinINet over real TLS against a server of the test's own.
class UpdateClient : public SavedStateTest {
protected:
    void Serve(std::map<std::string, LocalHttpServer::Reply> replies) { server_.emplace(std::move(replies)); }
    bool Traced(std::wstring_view start) const {
        return std::ranges::any_of(traces_.Lines(), [&](const auto& line) { return line.starts_with(start); });
    }
    std::optional<LocalHttpServer> server_;
    TraceCapture traces_;
};

using UpdateCheckTray = RunningApplication;

}  // namespace

TEST_F(UpdateClient, RepliesOverTlsBecomeTheLatestVersionAndPlainHttpIsRefused) {
    const std::string atCap = "0.0.1.24" + std::string(kVersionTextMaxBytes - 8, ' ');
    const std::tuple<LocalHttpServer::Reply, bool, std::optional<std::wstring>, const wchar_t*> cases[] = {
        {{200, "0.0.1.24\r\n"}, false, L"0.0.1.24", L"Returned download size of 10 bytes"},
        {{200, "0.0.1.23"}, true, L"0.0.1.23", L"Returned download size of 8 bytes"},
        {{200, "Version 1.2.3"}, false, kDisplayVersion, L"WARNING: Invalid version string received: 1.2.3"},
        {{404, "0.0.9.9"}, false, kDisplayVersion, L"HTTP error 404 for URL: https://localhost:"},
        {{200, ""}, false, kDisplayVersion, L"ERROR checking update"},
        {{200, std::string(1, '\0') + "0.0.9.9"}, false, kDisplayVersion, L"ERROR checking update"},
        {{200, atCap}, false, L"0.0.1.24", L"Returned download size of 4096 bytes"},
        {{200, atCap + "9"}, false, kDisplayVersion, L"ERROR checking update"},
        // Last, with update checks switched off in the registry: nothing is asked.
        {{200, "0.0.1.24"}, true, std::nullopt, nullptr}};
    for (const auto& [reply, includeBetas, latest, trace] : cases) {
        SCOPED_TRACE(testing::Message() << reply.first << " " << reply.second.substr(0, 24));
        const DWORD one = 1;
        ASSERT_TRUE(trace ||
                    !RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateChecksDisabled", REG_DWORD, &one, 4));
        // Only the selected channel's path answers; the other one would give 404.
        Serve({{includeBetas ? "/versioninfo/watchkeep/beta/" : "/versioninfo/watchkeep/", reply}});
        traces_.Clear();
        EXPECT_EQ(CheckForUpdate(server_->Address(), includeBetas), latest);
        EXPECT_EQ(server_->Requests(), trace ? 1 : 0);
        EXPECT_TRUE(!trace || Traced(trace)) << trace;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateChecksDisabled");
    EXPECT_EQ(CheckForUpdate(L"http" + server_->Address().substr(5), true), kDisplayVersion);
    EXPECT_TRUE(Traced(L"ERROR: not an https address: http://localhost:"));
    EXPECT_EQ(server_->Requests(), 0);
}

TEST_F(UpdateClient, OnlyThePinnedSignerOfTheAnnouncedNewerVersionRunsAndNothingSwapsItFirst) {
    const std::string release = TestFolder::Read(BuildBinaryPath(L"..\\release\\files\\watchkeepsetup.exe"));
    std::string tampered = release;
    ASSERT_GT(tampered.size(), 4096u) << "the installer was not read";
    tampered[tampered.size() / 2] ^= 0x55;
    const std::wstring pinned = BuiltInUpdateSigners();
    const std::string otherSigner = TestFolder::Read(BuildBinaryPath(L"..\\test-certificates\\other-signed.exe"));
    const std::wstring versionError =
        L"ERROR: installer version " + std::wstring(kVersionText) + L" is not the announced ";
    const std::tuple<std::string, const wchar_t*, const wchar_t*, std::wstring, std::wstring> refused[] = {
        {TestFolder::Read(BuildBinaryPath(L"loadgen_win.exe")), kVersionText, L"0.0.1.22", pinned,
         L"ERROR: digital signature verification failed for "},
        {tampered, kVersionText, L"0.0.1.22", pinned, L"ERROR: digital signature verification failed for "},
        {std::string(kInstallerMaxBytes + 1, 'M'), kVersionText, L"0.0.1.22", pinned, L"ERROR downloading file"},
        // Wine's WinVerifyTrust accepts this signature (and any self-signed one): only the pin refuses it.
        {otherSigner, kVersionText, L"0.0.1.22", pinned, L"Installer signer "},
        {release, kVersionText, L"0.0.1.22", L"", L"ERROR: this build allows no installer signer"},
        {release, L"0.0.1.24", L"0.0.1.22", pinned, versionError + L"0.0.1.24"},
        {release, kVersionText, kVersionText, pinned,
         versionError + kVersionText + L" or not newer than " + kVersionText}};
    const TestFolder temp;
    const std::wstring installer = temp.Path(L"Watchkeep\\watchkeepsetup.exe");
    SetEnvironmentVariableW(L"TMP", temp.Path(L"").c_str());
    for (const auto& [bytes, announced, running, signers, trace] : refused) {
        SCOPED_TRACE(testing::Message() << bytes.size() << " bytes, " << trace);
        Serve({{"/files/watchkeepsetup.exe", {200, bytes}}});
        traces_.Clear();
        EXPECT_FALSE(DownloadAndRunInstaller({server_->Address(), false, announced, running, signers, {}}));
        EXPECT_TRUE(traces_.Contains(L"Download save path: " + installer));
        EXPECT_TRUE(Traced(trace));
        EXPECT_EQ(GetFileAttributesW(installer.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(ReadSetting(L"UpdateFinished"));
    }
    // The pinned signer's newer installer runs: it ends the program and installs. Between the check and
    // the launch nobody may write, delete or rename the file.
    SetEnvironmentVariableW(L"TMP", nullptr);
    Serve({{"/files/beta/watchkeepsetup.exe", {200, release}}});
    WatchkeepProcess running;
    ASSERT_NE(running.WaitForTray(), nullptr);
    std::vector<DWORD> swapErrors;
    const auto trySwap = [&](const std::wstring& path) {
        std::thread([&] {
            for (const DWORD access : {DWORD{GENERIC_WRITE}, DWORD{DELETE}}) {
                const UniqueHandle opened(CreateFileW(path.c_str(), access, 7, nullptr, OPEN_EXISTING, 0, nullptr));
                swapErrors.push_back(opened ? 0 : GetLastError());
            }
            swapErrors.push_back(MoveFileW(path.c_str(), (path + L".old").c_str()) ? 0 : GetLastError());
        }).join();
    };
    ASSERT_TRUE(DownloadAndRunInstaller({server_->Address(), true, kVersionText, L"0.0.1.22", pinned, trySwap}));
    EXPECT_EQ(swapErrors, std::vector<DWORD>(3, ERROR_SHARING_VIOLATION));
    EXPECT_EQ(running.ExitCode(), 0u);
    // The installer starts the installed program, which is the announced version: it takes the mark.
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    const std::wstring shortcut = std::wstring(programs) + L"\\Watchkeep.lnk";
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == std::vector<BYTE>(4, 0); }, 30000));
    EXPECT_FALSE(ReadSetting(L"UpdateVersion"));
    EXPECT_NE(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
    // The registered quiet uninstaller ends it and removes the shortcut.
    EXPECT_TRUE(Uninstall());
    EXPECT_EQ(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UpdateCheckTray, AskedChecksShowProgressAndTheOutcomeAlsoDuringAnAutomaticOne) {
    const std::tuple<const char*, const wchar_t*, WPARAM, const wchar_t*> cases[] = {
        {WATCHKEEP_VERSION_TEXT, L"Watchkeep", IDOK, L"No updates available. You are running the latest version."},
        {"0.0.1.24", L"Watchkeep Update Available", IDYES, L"Version 0.0.1.24 is available. Update now?"}};
    for (const auto& [version, caption, button, text] : cases) {
        // No installer is published here: Yes ends in the download error box.
        LocalHttpServer server({{"/versioninfo/watchkeep/beta/", {200, version}}});
        app_->Updates().SetServer(server.Address());
        std::wstring asked, failed;
        std::atomic<bool> answered{false};
        std::thread answer([&, caption = caption, button = button] {
            asked = AnswerMessageBox(nullptr, button, caption);
            failed = button == IDYES ? AnswerMessageBox(nullptr, IDOK, L"Watchkeep Update Error") : L"";
            answered = true;
        });
        // The user asks while an automatic check runs: that check's result is the user's.
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 0, 0);
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 1, 0);
        // The result waits in the queue until the progress window has been seen.
        ASSERT_TRUE(WaitUntil([this] {
            for (MSG m; PeekMessageW(&m, nullptr, 0, UWM_UPDATE_CHECKED - 1, PM_REMOVE);) {
                DispatchMessageW(&m);
            }
            return app_->UpdateReports().ProgressWindow() != nullptr;
        }));
        HWND progress = app_->UpdateReports().ProgressWindow();
        EXPECT_EQ(DialogItemText(progress, IDC_UPDATE_STATUS), L"Checking for updates...");
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(progress, IDC_UPDATE_PROGRESS), GWL_STYLE) & PBS_MARQUEE);
        if (button == IDOK) {
            SaveScreenshot(L"update_progress", progress);
            // Cancel closes the window only: the check still reports.
            SendMessageW(progress, WM_COMMAND, IDCANCEL, 0);
            EXPECT_EQ(app_->UpdateReports().ProgressWindow(), nullptr);
        }
        EXPECT_TRUE(PumpUntil([&] { return answered.load(); }, 60000));
        answer.join();
        EXPECT_FALSE(IsWindow(progress));
        EXPECT_EQ(asked, text);
        // One version request (the second check was not started), and Yes asked for the installer.
        EXPECT_EQ(server.Requests(), button == IDYES ? 2 : 1);
        EXPECT_EQ(failed, button == IDOK ? L""
                                         : L"The update download failed. Please try again later or visit "
                                           L"https://watchkeep.example.com to download manually.");
    }
    // A mark of another version than the running one is an update that did not complete; both reset.
    for (const wchar_t* marked : {L"0.0.1.24", kVersionText}) {
        MarkInstallStarting(marked);
        app_->UpdateReports().CheckUpdateFinished(Tray());
        EXPECT_TRUE(PumpUntil([this] { return app_->UpdateReports().PostUpdateBalloonShown(); }));
        SendMessageW(Tray(), UWM_TRAY_CALLBACK, 0, NIN_BALLOONTIMEOUT);
        EXPECT_EQ(app_->UpdateReports().IncompleteUpdateVersion(), marked == kVersionText ? L"" : marked);
        EXPECT_EQ(ReadSetting(L"UpdateFinished"), std::vector<BYTE>(4, 0));
        EXPECT_FALSE(ReadSetting(L"UpdateVersion"));
    }
}

// Installed into a folder of the user's choice, upgraded silently as the program does, uninstalled.
TEST_F(UpdateClient, AnUpgradeKeepsTheChosenFolderAndUninstallRemovesTheRunValueOfThatCopy) {
    const TestFolder custom;
    const std::wstring setup = L"\"" + BuildBinaryPath(L"..\\release\\files\\watchkeepsetup.exe") + L"\" /S";
    const std::wstring program = custom.Path(L"wk\\watchkeep.exe"), run = L"\"" + program + L"\"";
    for (const std::wstring& command : {setup + L" /D=" + custom.Path(L"wk"), setup}) {
        ASSERT_EQ(WaitForSingleObject(StartProcess(command).get(), 120000), WAIT_OBJECT_0);
        EXPECT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES) << command;
        EXPECT_EQ(GetFileAttributesW((InstallFolder() + L"\\watchkeep.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, REG_SZ, run.c_str(), (run.size() + 1) * 2);
    EXPECT_TRUE(Uninstall(custom.Path(L"wk")));
    EXPECT_FALSE(ReadSetting(kRunValueName, nullptr, kRunKeyPath));
}
