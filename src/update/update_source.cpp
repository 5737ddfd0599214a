#include "update/update_source.h"

std::wstring VersionInfoUrl(const std::wstring& server, bool includeBetas) {
    return server + (includeBetas ? L"/versioninfo/watchkeep/beta/" : L"/versioninfo/watchkeep/");
}

std::wstring InstallerUrl(const std::wstring& server, bool includeBetas) {
    return server + (includeBetas ? L"/files/beta/" : L"/files/") + kInstallerFileName;
}

std::wstring InstallerFolder(std::wstring tempFolder) {
    // Only the one backslash GetTempPathW puts at the end is dropped.
    if (!tempFolder.empty() && tempFolder.back() == L'\\') {
        tempFolder.pop_back();
    }
    return tempFolder + L"\\Watchkeep";
}

std::wstring InstallerPath(const std::wstring& tempFolder) {
    return InstallerFolder(tempFolder) + L"\\" + kInstallerFileName;
}

bool IsHttpsAddress(std::wstring_view url) {
    constexpr std::wstring_view kScheme = L"https://";
    if (url.size() <= kScheme.size()) {
        return false;
    }
    for (size_t i = 0; i < kScheme.size(); ++i) {
        const wchar_t c = url[i];
        if ((c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c) != kScheme[i]) {
            return false;
        }
    }
    return true;
}
