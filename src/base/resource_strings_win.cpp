#include "base/resource_strings_win.h"

#include <algorithm>

HINSTANCE ProgramModule() {
    return GetModuleHandleW(nullptr);
}

std::wstring LoadStringResource(UINT id) {
    wchar_t buffer[512] = {};
    const int length = LoadStringW(ProgramModule(), id, buffer, 512);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring LoadFilterString(UINT id) {
    std::wstring filter = LoadStringResource(id);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');
    return filter;
}
