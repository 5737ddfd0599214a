#include "update/version.h"

#include <cwchar>

uint32_t ParseVersion(const wchar_t* text) {
    if (text == nullptr || std::wcslen(text) < 7) {
        return 0;
    }
    unsigned parts[4] = {};
    // A component the scan does not reach counts as 0; anything after the fourth is ignored.
    std::swscanf(text, L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}

bool IsNewerVersion(const wchar_t* latest) {
    return ParseVersion(latest) > ParseVersion(kVersionText);
}

std::wstring FilterVersionText(std::wstring_view reply) {
    std::wstring kept;
    for (const wchar_t c : reply) {
        if ((c >= L'0' && c <= L'9') || c == L'.') {
            kept.push_back(c);
        }
    }
    return kept;
}

bool InstallerVersionAcceptable(const wchar_t* installer, const wchar_t* announced, const wchar_t* running) {
    const uint32_t own = ParseVersion(installer);
    return own != 0 && own == ParseVersion(announced) && own > ParseVersion(running);
}
