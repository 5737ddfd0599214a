#pragma once

#include <windows.h>

#include <string>

// The program's icon in the notification area: added with the window that receives its
// callbacks, removed when this owner ends or is reset.
class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // NIM_ADD with the callback message UWM_TRAY_CALLBACK; called again after "TaskbarCreated".
    bool Add(HWND window, HICON icon, const std::wstring& tip);
    void Remove();
    // A balloon (NIF_INFO only, 10 s, no icon); title and text cut to what the fields hold.
    bool ShowBalloon(const std::wstring& title, const std::wstring& text) const;

private:
    HWND window_ = nullptr;
};
