#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "alerts/alert_history.h"
#include "base/utf8.h"
#include "settings/exclusion_text.h"
#include "support/test_support.h"
#include "update/version.h"
#include "win/support/main_dialog_driver.h"

namespace {

class DialogPagesTest : public MainDialogTest {
protected:
    std::wstring Pids(HWND list) const {
        std::wstring pids;
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            pids += ListCellText(list, row, 1) + L" ";
        }
        return pids;
    }
    HWND Recent() const { return GetDlgItem(app_->MainDialogWindow(), IDC_RECENT_ALERTS); }
};

}  // namespace

TEST_F(DialogPagesTest, RecentAlertsAndTheAlertLogWindowShowExportAndClearTheAlerts) {
    TestFolder folder;
    const std::wstring log = folder.Write(L"alerts.log", "old\r\n");
    app_->Settings().LogFilePath.Set(log);
    AlertHistoryLock(app_->AlertHistory())->Clear();
    AppendAlertHistory(app_->AlertHistory(), MakeAlert(1, L"a,b.exe"));
    AppendAlertHistory(app_->AlertHistory(), MakeAlert(2));
    Open();
    ASSERT_TRUE(WaitUntil([&] { return Pids(Recent()) == L"2 1 "; }));
    Command(IDM_MONITORING_VIEW_LOG);
    const HWND main = dialog_;
    ASSERT_NE(dialog_ = WaitForDialog(kAlertLogCaption), nullptr);
    EXPECT_EQ(Pids(Item(IDC_ALERT_LOG_LIST)), L"1 2 ");
    PickFile(IDC_EXPORT_CSV, folder.Path(L"full.csv"));
    const std::string csv = std::string(kUtf8Bom) + "Time,PID,Process,Violation\r\n" +
                            "\"2024-06-01 12:00:01\",1,\"a,b.exe\",\"Threads: 9 > 8\"\r\n" +
                            "\"2024-06-01 12:00:02\",2,\"p.exe\",\"Threads: 9 > 8\"\r\n";
    EXPECT_TRUE(WaitUntil([&] { return TestFolder::Read(folder.Path(L"full.csv")) == csv; }));
    Click(IDC_CLEAR_ALERT_LOG);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Item(IDC_ALERT_LOG_LIST)) == 0; }));
    EXPECT_EQ(GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES);
    Close(std::exchange(dialog_, main), IDCANCEL);
    // The main dialog's list empties at its next refresh, then shows the newest twenty.
    EXPECT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Recent()) == 0; }));
    for (uint32_t pid = 1; pid <= 25; ++pid) {
        AppendAlertHistory(app_->AlertHistory(), MakeAlert(pid));
    }
    const wchar_t* const newest = L"25 24 23 22 21 20 19 18 17 16 15 14 13 12 11 10 9 8 7 6 ";
    ASSERT_TRUE(WaitUntil([&] { return Pids(Recent()) == newest; })) << Pids(Recent());
    EXPECT_EQ(ListCellText(Recent(), 0, 0) + ListCellText(Recent(), 0, 2), L"2024-06-01 12:00:25p.exe");
    // At the cap each alert drops the oldest and the count stays 1000: the new one still shows.
    for (uint32_t pid = 26; pid <= 1000; ++pid) {
        AppendAlertHistory(app_->AlertHistory(), MakeAlert(pid));
    }
    ASSERT_TRUE(WaitUntil([&] { return Pids(Recent()).starts_with(L"1000 999 "); }));
    AppendAlertHistory(app_->AlertHistory(), MakeAlert(1001));
    ASSERT_TRUE(WaitUntil([&] { return Pids(Recent()).starts_with(L"1001 1000 999 "); }));
    // The selection follows its alert when a newer one arrives above it.
    ListView_SetItemState(Recent(), 1, LVIS_SELECTED, LVIS_SELECTED);
    AppendAlertHistory(app_->AlertHistory(), MakeAlert(1002));
    ASSERT_TRUE(WaitUntil([&] { return Pids(Recent()).starts_with(L"1002 "); }));
    EXPECT_EQ(ListCellText(Recent(), SelectedListRow(Recent()), 1), L"1000");
    // The log file held open by another program: deleting fails, emptying does not; held
    // without sharing, neither does and the user is told.
    for (const auto& [share, left] :
         {std::pair<DWORD, const char*>{FILE_SHARE_READ | FILE_SHARE_WRITE, ""}, {0, "old\r\n"}}) {
        folder.Write(L"alerts.log", "old\r\n");
        AppendAlertHistory(app_->AlertHistory(), MakeAlert(1));
        ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Recent()) > 0; }));
        UniqueHandle holder(CreateFileW(log.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        PostMessageW(Recent(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 60));
        PostMessageW(Recent(), WM_RBUTTONUP, 0, MAKELPARAM(20, 60));
        ChooseFromMenu(1);
        if (!share) {
            EXPECT_TRUE(AnswerMessageBox(dialog_, IDOK)
                            .starts_with(L"The alert log file " + log + L" could not be deleted"));
        }
        ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(Recent()) == 0; }));
        holder.reset();
        EXPECT_EQ(TestFolder::Read(log), left) << share;
    }
}

TEST_F(DialogPagesTest, TheExclusionsDialogShowsTheListAndOnlyOkSavesWhatWasTyped) {
    app_->Settings().Exclusions.Set({L"a.exe", L"b*.exe"});
    Open();
    const std::tuple<const wchar_t*, int, ExclusionList> edits[] = {
        {L"x.exe", IDCANCEL, {L"a.exe", L"b*.exe"}},
        {L"\r\n notepad.exe \r\n\r\n   \r\nmy app.exe\t\r\n\r\n", IDOK, {L"notepad.exe", L"my app.exe"}},
        {L"", IDOK, {}}};
    for (const auto& [typed, button, stored] : edits) {
        const std::wstring shown = JoinExclusionText(app_->Settings().Exclusions.Get());
        Command(IDM_SETTINGS_EXCLUSIONS);
        HWND box = OwnedDialog(dialog_);
        EXPECT_EQ(DialogItemText(box, IDC_EXCLUSIONS_TEXT), shown);
        SaveScreenshot(L"exclusions", box);
        SetDlgItemTextW(box, IDC_EXCLUSIONS_TEXT, typed);
        Close(box, button);
        EXPECT_EQ(app_->Settings().Exclusions.Get(), stored);
        EXPECT_EQ(ReadSetting(L"Exclusions"),
                  button == IDOK ? std::optional(EncodeMultiString(stored).Bytes) : std::nullopt);
    }
}

TEST_F(DialogPagesTest, AboutShowsTheVersionAndIconUnderABoldTitleInOneFontEveryTime) {
    Open();
    const auto fontOf = [](HWND about, int id) {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(about, id, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font;
    };
    HFONT fonts[2] = {};
    for (HFONT& font : fonts) {
        Command(IDM_HELP_ABOUT);
        HWND about = OwnedDialog(dialog_);
        font = reinterpret_cast<HFONT>(SendDlgItemMessageW(about, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0));
        EXPECT_EQ(DialogItemText(about, IDC_ABOUT_VERSION), std::wstring(L"Version ") + kDisplayVersion);
        EXPECT_TRUE(SendDlgItemMessageW(about, IDC_ABOUT_ICON, STM_GETICON, 0, 0));
        EXPECT_EQ(fontOf(about, IDC_ABOUT_TITLE).lfWeight, FW_BOLD);
        EXPECT_EQ(fontOf(about, IDC_ABOUT_TITLE).lfHeight, fontOf(about, IDC_ABOUT_VERSION).lfHeight * 3 / 2);
        SaveScreenshot(L"about", about);
        Close(about, IDOK);
    }
    EXPECT_EQ(fonts[0], fonts[1]);
}

TEST_F(DialogPagesTest, TheSettingsPageAppliesOnlyAcceptedValuesAndPickedFilesOnlyWithApply) {
    TestFolder folder;
    const std::wstring oldLog = folder.Path(L"old.log");
    app_->Settings().LogFilePath.Set(oldLog);
    Open();
    PostMessageW(Item(IDC_TABS), WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Item(IDC_APPLY)) && !IsWindowVisible(Recent()); }));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_APPLY)));
    // A value out of its range is refused and stays in its field.
    const std::tuple<int, const wchar_t*, uint32_t, uint32_t> steps[] = {{IDC_POLL_INTERVAL, L"100", 30000, 30},
                                                                         {IDC_POLL_INTERVAL, L"500", 500, 30},
                                                                         {IDC_THROTTLE, L"0", 500, 30},
                                                                         {IDC_THROTTLE, L"3600", 500, 3600}};
    for (const auto& [field, text, poll, throttle] : steps) {
        SetDlgItemTextW(dialog_, field, text);
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
        Click(IDC_APPLY);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(IDC_APPLY)); }));
        EXPECT_EQ(std::pair(app_->Settings().PollIntervalMs.load(), app_->Settings().NotificationThrottleSec.load()),
                  std::pair(poll, throttle));
        EXPECT_EQ(DialogItemText(dialog_, field), text);
    }
    Click(IDC_TRAY_NOTIFICATIONS);
    Click(IDC_LOG_TO_FILE);
    Click(IDC_APPLY);
    ASSERT_TRUE(WaitUntil([this] { return app_->Settings().AlertActions == 0; }));
    // A path longer than the system takes is refused whole, not cut to another file's name.
    const std::wstring tooLong = folder.Path(L"") + std::wstring(300, L'a') + L".log";
    SetDlgItemTextW(dialog_, IDC_LOG_PATH, tooLong.c_str());
    Click(IDC_APPLY);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(IDC_APPLY)); }));
    EXPECT_EQ(app_->Settings().LogFilePath.Get(), oldLog);
    EXPECT_EQ(DialogItemText(dialog_, IDC_LOG_PATH), tooLong);
    // A picked file goes into its field and enables Apply; OK without Apply keeps the stored paths.
    const std::pair<WORD, std::wstring> picks[] = {{IDC_BROWSE_LOG, folder.Path(L"new.log")},
                                                   {IDC_BROWSE_SOUND, folder.Write(L"ding.wav", "RIFF")},
                                                   {IDC_BROWSE_METRICS, folder.Path(L"w.prom")}};
    for (const auto& [button, path] : picks) {
        PickFile(button, path);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(IDC_APPLY)); }));
    }
    EXPECT_EQ(DialogItemText(dialog_, IDC_LOG_PATH) + L"|" + DialogItemText(dialog_, IDC_SOUND_PATH) + L"|" +
                  DialogItemText(dialog_, IDC_METRICS_PATH),
              picks[0].second + L"|" + picks[1].second + L"|" + picks[2].second);
    Close(dialog_, IDOK);
    const AppSettings& settings = app_->Settings();
    EXPECT_EQ(settings.LogFilePath.Get() + L"|" + settings.SoundFilePath.Get() + settings.MetricsFilePath.Get(),
              oldLog + L"|");
}

// An exception a dialog's handler lets out stops at the dialog procedure as a trace line.
TEST_F(DialogPagesTest, AnExceptionFromAHandlerBecomesATraceLine) {
    struct Throwing final : DialogHandler {
        std::atomic<HWND> window{nullptr};
        void OnInit(HWND dialog) override { window = dialog; }
        bool OnCommand(HWND dialog, WORD id) override {
            return id == IDOK ? throw std::runtime_error("boom") : DialogHandler::OnCommand(dialog, id);
        }
    } handler;
    TraceCapture trace;
    std::thread runner([&] { RunDialog(IDD_ABOUT, handler); });
    ASSERT_TRUE(WaitUntil([&] { return handler.window.load() != nullptr; }));
    SendMessageW(handler.window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(trace.Contains(L"DialogProc - Stopped an exception: boom"));
    Close(handler.window, IDCANCEL);
    runner.join();
}
