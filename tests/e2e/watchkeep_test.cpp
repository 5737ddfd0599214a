#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "alerts/alert_history.h"
#include "alerts/alert_log.h"
#include "base/file_io.h"
#include "base/utf8.h"
#include "rules/rule_csv.h"
#include "rules/rule_store.h"
#include "support/test_support.h"
#include "win/support/load_generator.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

namespace {

using TrayWindow = SavedStateTest;
using HostileDesktop = SavedStateTest;
using DamagedFiles = SavedStateTest;
using Monitoring = SavedStateTest;

bool NamedEventExists() {
    return static_cast<bool>(UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\WatchkeepRunning")));
}

RECT TrayArea() {
    RECT area = {};
    GetWindowRect(FindWindowW(nullptr, L"Wine System Tray"), &area);
    return area;
}

// Pixels of the icon's blue tile, as drawn in the Wine System Tray window at the top left.
int IconPixels() {
    const RECT area = TrayArea();
    ScopedGetDC screen(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(screen.get(), x, y);
            count += pixel != CLR_INVALID && std::abs(GetRValue(pixel) - 0x1D) <= 40 &&
                     std::abs(GetGValue(pixel) - 0x4E) <= 40 && std::abs(GetBValue(pixel) - 0xD8) <= 40;
        }
    }
    return count;
}

// Instances in this prefix, counted from inside it (ps would also see other prefixes).
size_t CountInstances() {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        count += _wcsicmp(entry.szExeFile, L"watchkeep.exe") == 0 ? 1 : 0;
    }
    return count;
}

// A good file first, then the damage files meet in the wild done to it: cut short mid-line, a NUL
// and a byte no UTF-8 holds in the middle, CR-only line ends, UTF-16 with its mark.
std::vector<std::string> Damaged(const std::string& good) {
    std::string nul = good, invalid = good, crOnly;
    nul[good.size() / 2] = '\0';
    invalid[good.size() / 3] = '\xFF';
    std::copy_if(good.begin(), good.end(), std::back_inserter(crOnly), [](char c) { return c != '\n'; });
    const std::u16string units = WideToUtf16(Utf8ToWide(good));
    return {good,   good.substr(0, good.size() * 2 / 3),
            nul,    invalid,
            crOnly, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2)};
}

// The real program started on the files as they are and ended with -terminate, without a crash.
void StartAndEnd(const std::function<void(HWND tray)>& whileRunning) {
    WatchkeepProcess running;
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    whileRunning(tray);
    EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
    EXPECT_EQ(running.ExitCode(), 0u);
}

}  // namespace

// One tray session from a start with the post-update mark set to the Exit entry of its menu.
TEST_F(TrayWindow, IconBalloonClicksLaterStartsAndTheMenuFromStartToExit) {
    const DWORD one = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"UpdateFinished", REG_DWORD, &one, sizeof(one)),
              ERROR_SUCCESS);
    WatchkeepProcess running;
    HWND tray = running.WaitForTray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(IsWindowVisible(tray));
    EXPECT_TRUE(NamedEventExists());
    // The post-update balloon shows once; Wine never reports balloon clicks itself, so the shell's
    // codes are delivered by hand: its click, mouse moves and other buttons open nothing.
    EXPECT_TRUE(WaitUntil([] { return ReadSetting(L"UpdateFinished") == EncodeDword(0).Bytes; }));
    Sleep(2500);  // Wine draws the balloon about two seconds after it is asked for
    SaveScreenshot(L"post_update_balloon");
    for (const LPARAM code : {WM_MOUSEMOVE, WM_MBUTTONUP, NIN_BALLOONUSERCLICK}) {
        SendMessageW(tray, UWM_TRAY_CALLBACK, 0, code);
    }
    Sleep(1000);
    EXPECT_EQ(CountDialogs(kMainDialogCaption), 0u);
    // The icon shows its tip on a hover, and comes back with a new taskbar after it was removed
    // behind the program's back.
    ASSERT_TRUE(WaitUntil([] { return IconPixels() > 20; }));
    const RECT area = TrayArea();
    SetCursorPos(area.left + 12, area.bottom - 12);
    Sleep(1500);
    EXPECT_FALSE(SaveScreenshot(L"tray_icon_tip").empty());
    SetCursorPos(640, 700);
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = tray;
    data.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(WaitUntil([] { return IconPixels() < 5; }, 3000));
    SendMessageW(tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([] { return IconPixels() > 20; }));
    // The mark is spent: a balloon click now opens the main dialog, closed again here.
    SendMessageW(tray, UWM_TRAY_CALLBACK, 0, NIN_BALLOONUSERCLICK);
    PostMessageW(WaitForDialog(kMainDialogCaption), WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) == 0; }));
    // Left clicks in quick succession, before any dialog is up, open one main dialog; later starts,
    // even with -tray, hand over to this instance, end with 0 and only raise it.
    for (int i = 0; i < 4; ++i) {
        PostMessageW(tray, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    EXPECT_TRUE(WaitUntil([] { return CountDialogs(kMainDialogCaption) > 0; }));
    for (const wchar_t* arguments : {L"-tray", L""}) {
        EXPECT_EQ(WatchkeepProcess(arguments).ExitCode(), 0u);
        Sleep(500);
        EXPECT_EQ(CountDialogs(kMainDialogCaption), 1u) << "after a start with '" << arguments << "'";
    }
    // Every request from the menu opens another alert log window; Escape closes the menu only.
    for (size_t logs = 1; logs <= 2; ++logs) {
        ASSERT_TRUE(OpenTrayMenu(tray));
        if (logs == 1) {
            SaveScreenshot(L"tray_menu");
        }
        PostMessageW(tray, WM_CHAR, L'l', 0);
        EXPECT_TRUE(WaitUntil([logs] { return CountDialogs(kAlertLogCaption) == logs; }));
    }
    ASSERT_TRUE(OpenTrayMenu(tray));
    PostMessageW(tray, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
    EXPECT_EQ(running.ExitCode(500), STILL_ACTIVE);
    EXPECT_EQ(CountDialogs(kAlertLogCaption) + CountDialogs(kMainDialogCaption), 3u);
    // Exit ends the program through its shutdown, which saves the settings.
    ASSERT_TRUE(OpenTrayMenu(tray));
    PostMessageW(tray, WM_CHAR, L'x', 0);
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_EQ(ReadSetting(L"PollIntervalMs"), EncodeDword(30000).Bytes);
}

TEST_F(HostileDesktop, SimultaneousStartsLeaveOneInstanceAndTerminateReturnsOnlyAfterItSaved) {
    for (const wchar_t* terminate : {L"-terminate", L"-tray -terminate", L"-terminate"}) {
        RemoveSavedState();
        const WatchkeepProcess starts[3];  // each with -tray
        for (const auto& start : starts) {
            start.ExitCode(3000);
        }
        EXPECT_EQ(CountInstances(), 1u);
        ASSERT_FALSE(ReadSetting(L"PollIntervalMs"));
        ASSERT_EQ(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);
        // Checked as soon as the send returns: the instance's shutdown has run, main dialog and all.
        EXPECT_EQ(WatchkeepProcess(terminate).ExitCode(), 0u);
        EXPECT_TRUE(ReadSetting(L"PollIntervalMs"));
        EXPECT_NE(GetFileAttributesW(WatchkeepFile(L"rules.csv").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(CountInstances(), 0u);
        EXPECT_FALSE(NamedEventExists());
    }
    // With nothing running it ends at once, and saves nothing.
    RemoveSavedState();
    EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(5000), 0u);
    EXPECT_FALSE(ReadSetting(L"PollIntervalMs"));
    // The machine-wide marker made by someone else (another user's instance) blocks no start.
    const UniqueHandle squatted(CreateEventW(nullptr, FALSE, FALSE, L"Global\\WatchkeepRunning"));
    EXPECT_NE(WatchkeepProcess().WaitForTray(), nullptr);
    // -terminate gives up within its bound on an instance whose window answers nothing.
    const UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread hung([&] {
        const WNDCLASSW windowClass = {0,       DefWindowProcW, 0,       0,       nullptr,
                                       nullptr, nullptr,        nullptr, nullptr, L"WATCHKEEPW"};
        RegisterClassW(&windowClass);
        HWND window = CreateWindowW(L"WATCHKEEPW", L"Watchkeep", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        WaitForSingleObject(release.get(), INFINITE);
        DestroyWindow(window);
    });
    EXPECT_TRUE(WaitUntil([] { return FindWindowW(L"WATCHKEEPW", L"Watchkeep") != nullptr; }));
    EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(20000), 0u);
    SetEvent(release.get());
    hung.join();
}

// Every file the program reads, sound and then damaged in each way at once: it starts on them,
// reads what the core's readers read, keeps what a load could not read and ends without a crash.
TEST_F(DamagedFiles, TheProgramKeepsWhatItCanReadAndNeverLosesTheRest) {
    const std::wstring rulesPath = WatchkeepFile(L"rules.csv"), logPath = WatchkeepFile(L"alerts.log");
    const std::vector<std::string> rules =
        Damaged(FormatRulesCsv({{1, L"a.exe"}, {2, L"caf\u00e9.exe", false}, {3, L"b.exe", true, 5000}}));
    const std::vector<std::string> logs = Damaged(FormatAlertLogLine(MakeAlert(1, L"caf\u00e9.exe")) +
                                                  FormatAlertLogLine(MakeAlert(2)) + FormatAlertLogLine(MakeAlert(3)));
    const std::vector<std::string> imports = Damaged(
        "{\"rules\": [{\"processPattern\": \"caf\xC3\xA9.exe\", \"maxHandles\": 5}, {\"processPattern\": \"b.exe\"}]}");
    const SettingsRecord goodSettings{.PollIntervalMs = 500,
                                      .IncludeBetas = true,
                                      .MainDialogPlacement = {10, 20, 710, 520},
                                      .Exclusions = {L"a.exe", L"caf\u00e9.exe"}};
    TestFolder folder;
    const StoredValueReader registry = [](const std::wstring& name) -> std::optional<StoredValue> {
        DWORD type = 0;
        const auto bytes = ReadSetting(name.c_str(), &type);
        return bytes ? std::optional(StoredValue{type, {bytes->begin(), bytes->end()}}) : std::nullopt;
    };
    for (size_t variant = 0; variant < rules.size(); ++variant) {
        SCOPED_TRACE(variant);
        RemoveSavedState();
        // Registry values as saved, cut to half, of the other type, oversized, all ones, or empty.
        for (auto [name, value] : EncodeSettings(goodSettings)) {
            auto& bytes = value.Bytes;
            const size_t sizes[] = {bytes.size(), bytes.size() / 2, bytes.size(), bytes.size() + 600, bytes.size(), 0};
            bytes.resize(sizes[variant], 0xFF);
            if (variant == 2) {
                value.Type = value.Type == kRegDword ? kRegSz : kRegDword;
            } else if (variant == 4) {
                std::fill(bytes.begin(), bytes.end(), 0xFF);
            }
            RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name.c_str(), value.Type, bytes.data(),
                            static_cast<DWORD>(bytes.size()));
        }
        SettingsRecord expected, saved;
        DecodeSettings(registry, expected);
        expected.LogFilePath = logPath;
        ASSERT_TRUE(WriteFileBytes(rulesPath, rules[variant]));
        ASSERT_TRUE(WriteFileBytes(logPath, logs[variant]));
        std::vector<AlertRecord> readableLog;
        ReadAlertLogTail(logPath, kAlertHistoryMax, readableLog);
        RuleStore readableImport;
        const bool imported = readableImport.ImportJson(folder.Write(L"import.json", imports[variant]));
        StartAndEnd([&](HWND tray) {
            ChooseFromTrayMenu(tray, L'l');
            EXPECT_TRUE(WaitUntil([&] {
                return ListRows(FindWindowW(L"#32770", kAlertLogCaption), IDC_ALERT_LOG_LIST) ==
                       static_cast<int>(readableLog.size());
            }));
            // A JSON import it cannot use shows the failure message; what it can use is added.
            HWND dialog = OpenMainDialog(tray);
            const int before = ListRows(dialog, IDC_RULES_LIST);
            ImportRules(dialog, folder.Path(L"import.json"));
            if (!imported) {
                EXPECT_EQ(AnswerMessageBox(dialog, IDOK), L"Failed to import rules. Check the file format.");
            }
            EXPECT_TRUE(WaitUntil(
                [&] { return ListRows(dialog, IDC_RULES_LIST) == before + static_cast<int>(readableImport.Count()); }));
        });
        // The same rules.csv and import through the core's rule store, in a folder of the test's own.
        const std::wstring copy = folder.Write(L"rules.csv", rules[variant]);
        DeleteFileW((copy + L".bak").c_str());
        RuleStore store;
        store.Load(copy);
        store.AddNewRules(*readableImport.Snapshot());
        store.SaveAtExit(copy);
        EXPECT_EQ(TestFolder::Read(rulesPath), TestFolder::Read(copy));
        EXPECT_EQ(TestFolder::Read(rulesPath + L".bak"), TestFolder::Read(copy + L".bak"));
        EXPECT_EQ(TestFolder::Read(logPath), logs[variant]);
        DecodeSettings(registry, saved);
        EXPECT_EQ(saved, expected);
    }
    // A rules.csv another program holds open while the program starts is left as it was.
    ASSERT_TRUE(WriteFileBytes(rulesPath, rules[4]));
    UniqueHandle locked(
        CreateFileW(rulesPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    StartAndEnd([&](HWND) { locked.reset(); });  // the load is done once the tray window exists
    EXPECT_EQ(TestFolder::Read(rulesPath), rules[4]);
    // Held while a rule is added its save fails, and the exit saves it after the file's own rules.
    locked.reset(
        CreateFileW(rulesPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    StartAndEnd([&](HWND tray) {
        HWND dialog = OpenMainDialog(tray);
        ImportRules(dialog, folder.Write(L"one.json", R"({"rules": [{"processPattern": "added.exe"}]})"));
        EXPECT_NE(AnswerMessageBox(dialog, IDOK).find(L"will be saved with the next one"), std::wstring::npos);
        locked.reset();
    });
    const RuleList kept = {
        {1, L"a.exe"}, {2, L"caf\u00e9.exe", false}, {3, L"b.exe", true, 5000}, {4, L"added.exe", false}};
    EXPECT_EQ(TestFolder::Read(rulesPath), FormatRulesCsv(kept));
}

// Under Wine only the system's process list reads another process's commit charge and CPU time: a
// child's cross their limits and the real program logs both, the first pass having no CPU figure.
TEST_F(Monitoring, PrivateBytesAndCpuOfAChildAlertThroughTheRealProgram) {
    LoadGenerator child(L"alloc 64 spin 1");
    CreateDirectoryW((RoamingAppDataFolder() + L"\\Watchkeep").c_str(), nullptr);
    ASSERT_TRUE(child.Ready() && WriteFileBytes(WatchkeepFile(L"rules.csv"),
                                                FormatRulesCsv({{1, L"loadgen_win.exe", true, 0, 0, 48 * kBytesPerMB},
                                                                {2, L"loadgen_win.exe", true, 0, 0, 0, 5.0}})));
    ASSERT_FALSE(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"PollIntervalMs", REG_DWORD,
                                 EncodeDword(500).Bytes.data(), 4));
    StartAndEnd([](HWND) {
        WaitUntil([] { return TestFolder::Read(WatchkeepFile(L"alerts.log")).find("CPU: ") != std::string::npos; });
    });
    std::vector<AlertRecord> alerts;
    ReadAlertLogTail(WatchkeepFile(L"alerts.log"), kAlertHistoryMax, alerts);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_TRUE(alerts[0].PID == child.ProcessId() && alerts[1].PID == child.ProcessId());
    EXPECT_TRUE(alerts[0].Violation.starts_with(L"Private Bytes: 6") && alerts[0].Violation.ends_with(L" > 48 MB"));
    EXPECT_TRUE(alerts[1].Violation.starts_with(L"CPU: ") && alerts[1].Violation.ends_with(L"% > 5.0%"));
}
