#include <windows.h>
#include <shlobj.h>

#include "rules/rule_store.h"

std::wstring GetRulesFilePath() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
        return L"rules.csv";
    }
    const std::wstring folder = std::wstring(appData) + L"\\Watchkeep";
    // Usually exists already; a folder deleted while running is recreated by the next save.
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\rules.csv";
}
