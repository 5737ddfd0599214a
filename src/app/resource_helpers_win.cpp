#include "app/resource_helpers_win.h"

#include <algorithm>

#include "res/resource.h"

HINSTANCE appInstance = nullptr;

std::wstring LoadStringResource(UINT id) {
    wchar_t buffer[512] = {};
    const int length = LoadStringW(appInstance, id, buffer, 512);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring LoadFilterString(UINT id) {
    std::wstring filter = LoadStringResource(id);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');
    return filter;
}

namespace {

// Each size is loaded once and shared by every dialog, so opening dialogs leaks no icons.
HICON ProgramIcon(int size) {
    return static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON, size, size, 0));
}

}  // namespace

void SetDialogIcons(HWND dialog) {
    static const HICON small = ProgramIcon(16);
    static const HICON big = ProgramIcon(32);
    if (small) {
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
    if (big) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    }
}
