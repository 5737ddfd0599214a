#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "res/resource.h"
#include "update/update_state.h"
#include "win/support/local_http_server.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"

namespace {

using UpdateCheckTray = RunningApplication;

// Presses a button of the message box with this caption once it shows; returns the box's text.
std::wstring AnswerMessageBox(const wchar_t* caption, WPARAM button) {
    HWND box = nullptr;
    // A message box's text is control 0xFFFF; the progress dialog, also "#32770", has none.
    WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) && GetDlgItem(box, 0xFFFF); }, 30000);
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    PostMessageW(box, WM_COMMAND, button, 0);
    return text;
}

}  // namespace

TEST_F(UpdateCheckTray, AskedChecksShowProgressAndTheOutcomeAndRequestsDuringOneAreIgnored) {
    const std::wstring programServer = updateServer.Get();
    const std::tuple<const char*, const wchar_t*, WPARAM, const wchar_t*> cases[] = {
        {"0.0.1.23", L"Watchkeep", IDOK, L"No updates available. You are running the latest version."},
        {"0.0.1.24", L"Watchkeep Update Available", IDYES, L"Version 0.0.1.24 is available. Update now?"},
    };
    for (const auto& [version, caption, button, text] : cases) {
        // No installer is published here: Yes ends in the download error box.
        LocalHttpServer server({{"/versioninfo/watchkeep/beta/", {200, version}}});
        updateServer.Set(server.Base());
        std::wstring asked, failed;
        std::thread answer([&, caption = caption, button = button] {
            asked = AnswerMessageBox(caption, button);
            failed = button == IDYES ? AnswerMessageBox(L"Watchkeep Update Error", IDOK) : L"";
        });
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 1, 0);
        PostMessageW(Tray(), UWM_CHECK_UPDATES, 0, 0);
        ASSERT_TRUE(PumpUntil([this] { return app_->tray.updateProgressDialog != nullptr; }));
        HWND progress = app_->tray.updateProgressDialog;
        wchar_t status[64] = {};
        GetDlgItemTextW(progress, IDC_UPDATE_STATUS, status, 64);
        EXPECT_STREQ(status, L"Checking for updates...");
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
    updateServer.Set(programServer);
}
