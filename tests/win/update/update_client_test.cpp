#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "support/test_support.h"
#include "ui/widgets/dialog_runner_win.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"
#include "update/update_source.h"
#include "update/version.h"
#include "win/support/local_http_server.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

namespace {

// Real WinINet against a server of the test's own.
class UpdateClient : public SavedStateTest {
protected:
    void Serve(std::map<std::string, LocalHttpServer::Reply> replies, bool includeBetas) {
        server_.emplace(std::move(replies));
        appSettings.IncludeBetas = includeBetas;
    }
    void TearDown() override {
        appSettings.IncludeBetas = kDefaultIncludeBetas;
        SavedStateTest::TearDown();
    }
    bool Traced(std::wstring_view start) const {
        return std::ranges::any_of(traces_.Lines(), [&](const auto& line) { return line.starts_with(start); });
    }
    std::optional<LocalHttpServer> server_;
    TraceCapture traces_;
};

using UpdateCheckTray = RunningApplication;

std::wstring AnswerMessageBox(const wchar_t* caption, WPARAM button) {
    HWND box = nullptr;
    // A message box's text is control 0xFFFF; the progress dialog, also "#32770", has none.
    WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) && GetDlgItem(box, 0xFFFF); }, 30000);
    const std::wstring text = DialogItemText(box, 0xFFFF);
    PostMessageW(box, WM_COMMAND, button, 0);
    return text;
}

}  // namespace

TEST_F(UpdateClient, RepliesBecomeTheLatestVersionOrTheOwnOneAndOnlyASignedInstallerEndsTheProgramAndRuns) {
    const std::string atCap = "0.0.1.24" + std::string(kVersionTextMaxBytes - 8, ' ');
    const std::tuple<LocalHttpServer::Reply, bool, const wchar_t*, DWORD, const wchar_t*> cases[] = {
        {{200, "0.0.1.24\r\n"}, false, L"0.0.1.24", 0, L"Returned download size of 10 bytes"},
        {{200, "0.0.1.23"}, true, L"0.0.1.23", 0, L"Returned download size of 8 bytes"},
        {{200, "Version 1.2.3"}, false, kDisplayVersion, 0, L"WARNING: Invalid version string received: 1.2.3"},
        {{404, "0.0.9.9"}, false, kDisplayVersion, 1, L"HTTP error 404 for URL: http://127.0.0.1:"},
        {{200, ""}, false, kDisplayVersion, 1, L"ERROR checking update"},
        {{200, std::string(1, '\0') + "0.0.9.9"}, false, kDisplayVersion, 1, L"ERROR checking update"},
        {{200, atCap}, false, L"0.0.1.24", 0, L"Returned download size of 4096 bytes"},
        {{200, atCap + "9"}, false, kDisplayVersion, 1, L"ERROR checking update"},
        // Last, with update checks switched off in the registry: nothing is asked or changed.
        {{200, "0.0.1.24"}, true, L"0.0.0.0", 0, nullptr}};
    const UniqueHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    for (const auto& [reply, includeBetas, latest, result, trace] : cases) {
        SCOPED_TRACE(testing::Message() << reply.first << " " << reply.second.substr(0, 24));
        const DWORD one = 1;
        ASSERT_TRUE(trace ||
                    !RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateChecksDisabled", REG_DWORD, &one, 4));
        // Only the selected channel's path answers; the other one would give 404.
        Serve({{includeBetas ? "/versioninfo/watchkeep/beta/" : "/versioninfo/watchkeep/", reply}}, includeBetas);
        latestVersion.Set(L"0.0.0.0");
        traces_.Clear();
        EXPECT_EQ(CheckForUpdate(done.get()), result);
        EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(latestVersion.Get(), latest);
        EXPECT_EQ(server_->Requests(), trace ? 1 : 0);
        EXPECT_TRUE(!trace || Traced(trace)) << trace;
    }
    // Installers without a trusted signature, or too large, are refused and nothing is started.
    std::string tampered = TestFolder::Read(BuildBinaryPath(L"..\\release\\files\\watchkeepsetup.exe"));
    ASSERT_GT(tampered.size(), 4096u) << "the installer was not read";
    tampered[tampered.size() / 2] ^= 0x55;
    const std::pair<std::string, const wchar_t*> installers[] = {
        {TestFolder::Read(BuildBinaryPath(L"loadgen_win.exe")), L"ERROR: digital signature verification failed for "},
        {tampered, L"ERROR: digital signature verification failed for "},
        {std::string(kInstallerMaxBytes + 1, 'M'), L"ERROR downloading file"}};
    const TestFolder temp;
    const std::wstring installer = temp.Path(L"Watchkeep\\watchkeepsetup.exe");
    SetEnvironmentVariableW(L"TMP", temp.Path(L"").c_str());
    for (const auto& [bytes, trace] : installers) {
        SCOPED_TRACE(testing::Message() << bytes.size() << " bytes");
        Serve({{"/files/watchkeepsetup.exe", {200, bytes}}}, false);
        EXPECT_FALSE(DownloadAndRunInstaller());
        EXPECT_TRUE(traces_.Contains(L"Download save path: " + installer));
        EXPECT_TRUE(Traced(trace));
        EXPECT_EQ(GetFileAttributesW(installer.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(ReadSetting(L"UpdateFinished"));
    }
    SetEnvironmentVariableW(L"TMP", nullptr);
    // A signed one ends the program and installs; Wine's WinVerifyTrust does not check the chain, so the
    // test certificate's signature passes here, where Windows would refuse it unless its root were trusted.
    const std::wstring signedSetup = BuildBinaryPath(L"..\\release\\files\\beta\\watchkeepsetup.exe");
    Serve({{"/files/beta/watchkeepsetup.exe", {200, TestFolder::Read(signedSetup)}}}, true);
    WatchkeepProcess running;
    ASSERT_NE(running.WaitForTray(), nullptr);
    ASSERT_TRUE(DownloadAndRunInstaller());
    EXPECT_EQ(running.ExitCode(), 0u);
    // The installer starts the installed program, which shows the post-update balloon and writes 0.
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    const std::wstring shortcut = std::wstring(programs) + L"\\Watchkeep.lnk";
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == std::vector<BYTE>(4, 0); }, 30000));
    EXPECT_NE(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
    // The registered quiet uninstaller ends it and removes the shortcut.
    EXPECT_TRUE(Uninstall());
    EXPECT_EQ(GetFileAttributesW(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UpdateCheckTray, AskedChecksShowProgressAndTheOutcomeAndRequestsDuringOneAreIgnored) {
    const std::tuple<const char*, const wchar_t*, WPARAM, const wchar_t*> cases[] = {
        {"0.0.1.23", L"Watchkeep", IDOK, L"No updates available. You are running the latest version."},
        {"0.0.1.24", L"Watchkeep Update Available", IDYES, L"Version 0.0.1.24 is available. Update now?"}};
    for (const auto& [version, caption, button, text] : cases) {
        // No installer is published here: Yes ends in the download error box.
        LocalHttpServer server({{"/versioninfo/watchkeep/beta/", {200, version}}});
        std::wstring asked, failed;
        std::thread answer([&, caption = caption, button = button] {
            asked = AnswerMessageBox(caption, button);
            failed = button == IDYES ? AnswerMessageBox(L"Watchkeep Update Error", IDOK) : L"";
        });
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 1, 0);
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 0, 0);
        ASSERT_TRUE(PumpUntil([this] { return app_->tray.updateProgressDialog != nullptr; }));
        HWND progress = app_->tray.updateProgressDialog;
        EXPECT_EQ(DialogItemText(progress, IDC_UPDATE_STATUS), L"Checking for updates...");
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(progress, IDC_UPDATE_PROGRESS), GWL_STYLE) & PBS_MARQUEE);
        if (button == IDOK) {
            SaveScreenshot(L"update_progress");
            // Cancel closes the window only: the check still reports.
            SendMessageW(progress, WM_COMMAND, IDCANCEL, 0);
            EXPECT_EQ(app_->tray.updateProgressDialog, nullptr);
        }
        EXPECT_TRUE(PumpUntil([this] { return !app_->tray.updateCheckRunning; }, 30000));
        answer.join();
        EXPECT_FALSE(IsWindow(progress));
        EXPECT_EQ(asked, text);
        // One version request (the second check was ignored), and Yes asked for the installer.
        EXPECT_EQ(server.Requests(), button == IDYES ? 2 : 1);
        EXPECT_EQ(failed, button == IDOK ? L""
                                         : L"The update download failed. Please try again later or visit "
                                           L"https://watchkeep.example.com to download manually.");
    }
}
