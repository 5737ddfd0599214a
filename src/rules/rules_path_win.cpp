#include <windows.h>

#include "base/app_data_folder_win.h"
#include "rules/rules_path_win.h"

std::wstring GetRulesFilePath() {
    const std::wstring appData = RoamingAppDataFolder();
    if (appData.empty()) {
        return L"rules.csv";
    }
    const std::wstring folder = appData + L"\\Watchkeep";
    // Usually exists already; a folder deleted while running is recreated by the next save.
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\rules.csv";
}
