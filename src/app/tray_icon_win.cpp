#include "app/tray_icon_win.h"

#include <shellapi.h>

#include "base/utf16.h"
#include "res/resource.h"

namespace {

constexpr UINT kBalloonTimeoutMs = 10000;

NOTIFYICONDATAW IconData(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    return data;
}

// Cut to the field with its terminator, never leaving half of a surrogate pair at the end.
template <size_t N>
void CopyCut(wchar_t (&target)[N], const std::wstring& text) {
    const std::wstring cut = CutToUtf16Units(text, N - 1);
    cut.copy(target, cut.size());
    target[cut.size()] = L'\0';
}

}  // namespace

bool TrayIcon::Add(HWND window, HICON icon, const std::wstring& tip) {
    window_ = window;
    NOTIFYICONDATAW data = IconData(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = UWM_TRAY_CALLBACK;
    data.hIcon = icon;
    CopyCut(data.szTip, tip);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayIcon::Remove() {
    if (window_) {
        NOTIFYICONDATAW data = IconData(window_);
        Shell_NotifyIconW(NIM_DELETE, &data);
        window_ = nullptr;
    }
}

bool TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) const {
    if (!window_) {
        return false;
    }
    NOTIFYICONDATAW data = IconData(window_);
    data.uFlags = NIF_INFO;
    data.uTimeout = kBalloonTimeoutMs;
    data.dwInfoFlags = NIIF_NONE;
    CopyCut(data.szInfoTitle, title);
    CopyCut(data.szInfo, text);
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}
