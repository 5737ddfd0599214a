#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "rules/rule_csv.h"
#include "support/test_support.h"
#include "ui/widgets/dialog_runner_win.h"
#include "win/support/load_generator.h"
#include "win/support/screenshot.h"
#include "win/support/watchkeep_process.h"

using MetricsFileForPeers = SavedStateTest;

// The real program, a load generator over a thread limit: the page's field and its last error, removal
// at a change and at exit, a reader never seeing a partial file, even across a kill. Run by
// tests/metrics/prometheus_peers.sh, which hands the file it leaves to promtool and the exporter.
TEST_F(MetricsFileForPeers, TheRealProgramWritesWholeFilesShowsErrorsAndRemovesItsFile) {
    const auto folder = std::filesystem::path(BuildBinaryPath(L"")).parent_path().parent_path() / L"metrics";
    std::filesystem::create_directories(folder);
    const std::wstring path = (folder / L"watchkeep.prom").wstring(), missing = (folder / L"no\\w.prom").wstring();
    DeleteFileW(path.c_str());
    LoadGenerator load(L"threads 40");
    ASSERT_TRUE(load.Ready());
    ASSERT_TRUE(WriteFileBytes(WatchkeepFile(L"rules.csv"), FormatRulesCsv({{1, L"loadgen_win.exe", 1, 0, 0, 0, 0, 20}})));
    for (const auto& [name, value] : {NamedValue{L"PollIntervalMs", EncodeDword(500)}, {L"MetricsFilePath", EncodeText(path)}}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name.c_str(), value.Type, value.Bytes.data(),
                        static_cast<DWORD>(value.Bytes.size()));
    }
    const std::string over = "watchkeep_violation_limit{rule_id=\"1\",process=\"loadgen_win.exe\",pid=\"" +
                             std::to_string(load.ProcessId()) + "\",counter=\"threads\"} 20\n";
    const auto whole = [&] {
        std::string bytes;
        // While Wine moves a file over another, an open may fail for a moment: never a part of a file is read.
        const FileRead read = ReadFileBytesUpTo(path, 1 << 20, bytes);
        return read != FileRead::Done || (bytes.starts_with("# HELP watchkeep_up ") && bytes.ends_with(over));
    };
    {
        WatchkeepProcess running;
        HWND dialog = OpenMainDialog(running.WaitForTray());
        ASSERT_TRUE(WaitUntil([&] { return TestFolder::Read(path).ends_with(over); }));
        PostMessageW(GetDlgItem(dialog, IDC_TABS), WM_KEYDOWN, VK_RIGHT, 0);
        for (const std::wstring& to : {missing, path}) {
            SetDlgItemTextW(dialog, IDC_METRICS_PATH, to.c_str());
            PostMessageW(dialog, WM_COMMAND, IDC_APPLY, 0);
            EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dialog, IDC_METRICS_ERROR).empty() == (to == path); }));
            EXPECT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, to == path);
            SaveScreenshot(to == path ? L"metrics_file_written" : L"metrics_file_error", dialog);
        }
        EXPECT_EQ(WatchkeepProcess(L"-terminate").ExitCode(), 0u);
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    WatchkeepProcess running;
    ASSERT_TRUE(WaitUntil([&] { return TestFolder::Read(path).ends_with(over); }));
    for (const ULONGLONG end = GetTickCount64() + 2000 + GetTickCount64() % 1000; GetTickCount64() < end;) {
        ASSERT_TRUE(whole()) << TestFolder::Read(path);
    }
    running.Kill();
    EXPECT_TRUE(TestFolder::Read(path).ends_with(over)) << TestFolder::Read(path);
}
