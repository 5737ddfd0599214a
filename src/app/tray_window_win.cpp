#include "app/tray_window_win.h"

#include <shellapi.h>

#include <string>

#include "alerts/alert_dispatch.h"
#include "app/app_settings.h"

#include "app/debug_trace.h"
#include "app/dialog_threads_win.h"
#include "app/resource_format.h"
#include "app/resource_helpers_win.h"
#include "app/settings_store.h"
#include "app/update_state_win.h"
#include "app/win_handles.h"
#include "monitor/monitor_engine.h"
#include "res/resource.h"
#include "rules/rule_store.h"
#include "update/version.h"

TrayState trayState;

namespace {

constexpr UINT kBalloonTimeoutMs = 10000;

NOTIFYICONDATAW IconData(HWND window) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    return data;
}

template <size_t N>
void CopyCut(wchar_t (&target)[N], const std::wstring& text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(target, length);
    target[length] = L'\0';
}

void AddTrayIcon(HWND window) {
    DebugTrace(L"UWM_ADD_ICON");
    NOTIFYICONDATAW data = IconData(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = UWM_TRAY_CALLBACK;
    // Loaded once at the small-icon size and kept for every later add.
    static const HICON icon = static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON,
                                                            GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), 0));
    data.hIcon = icon;
    CopyCut(data.szTip, LoadStringResource(IDS_TRAY_TIP) + kDisplayVersion);
    Shell_NotifyIconW(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAW data = IconData(window);
    Shell_NotifyIconW(NIM_DELETE, &data);
}

void StartMainDialog(HWND window) { StartDetachedThread(MainDialogThread, window); }

void RunTrayCommand(HWND window, UINT command) {
    switch (command) {
    case IDM_OPEN:
        StartMainDialog(window);
        break;
    case IDM_PAUSE_MONITORING:
        monitorEngine.paused.store(true, std::memory_order_relaxed);
        DebugTrace(L"Monitoring paused");
        break;
    case IDM_RESUME_MONITORING:
        monitorEngine.paused.store(false, std::memory_order_relaxed);
        DebugTrace(L"Monitoring resumed");
        break;
    case IDM_VIEW_ALERT_LOG:
        StartDetachedThread(AlertLogDialogThread, window);
        break;
    case IDM_EXIT:
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

void ShowTrayMenu(HWND window) {
    if (!trayState.trayMenu) {
        return;
    }
    const bool paused = monitorEngine.paused.load(std::memory_order_relaxed);
    EnableMenuItem(trayState.trayMenu, IDM_PAUSE_MONITORING, MF_BYCOMMAND | (paused ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(trayState.trayMenu, IDM_RESUME_MONITORING, MF_BYCOMMAND | (paused ? MF_ENABLED : MF_GRAYED));
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    POINT cursor = {};
    GetCursorPos(&cursor);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(trayState.trayMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr));
    SendMessageW(window, WM_NULL, 0, 0);
    RunTrayCommand(window, command);
}

void OnTrayCallback(HWND window, LPARAM code) {
    switch (code) {
    case WM_LBUTTONUP:
        StartMainDialog(window);
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu(window);
        break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
        trayState.updateBalloonShown = false;
        trayState.postUpdateBalloonShown = false;
        break;
    case NIN_BALLOONUSERCLICK:
        if (trayState.updateBalloonShown) {
            // The installer download belongs to the update client, which is not part of the
            // program yet; the click only closes the balloon's state.
            trayState.updateBalloonShown = false;
        } else if (trayState.postUpdateBalloonShown) {
            trayState.postUpdateBalloonShown = false;
        } else {
            StartMainDialog(window);
        }
        break;
    default:
        break;
    }
}

// A finished installer leaves UpdateFinished set: say so once, then clear it.
void CheckUpdateFinished(HWND window) {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD finished = 0;
    DWORD size = sizeof(finished);
    if (RegQueryValueExW(key.get(), L"UpdateFinished", nullptr, nullptr, reinterpret_cast<BYTE*>(&finished),
                         &size) == ERROR_SUCCESS &&
        finished != 0) {
        PostMessageW(window, UWM_SHOW_POST_UPDATE_NOTIFICATION, 0, 0);
        const DWORD zero = 0;
        RegSetValueExW(key.get(), L"UpdateFinished", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                       sizeof(zero));
    }
}

void OnCreate(HWND window) {
    if (trayState.taskbarCreatedMessage == 0) {
        trayState.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    }
    if (!trayState.trayMenu) {
        // Loaded once for the life of the process, like the window it serves.
        if (HMENU menu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_TRAY_MENU))) {
            trayState.trayMenu = GetSubMenu(menu, 0);
        }
    }
    if (!UpdateCheckDoneEvent) {
        UpdateCheckDoneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    SetUpdateCheckTimer(window);
    PostMessageW(window, WM_TIMER, IDT_UPDATE_CHECK, 0);
    CheckUpdateFinished(window);
}

void OnDestroy(HWND window) {
    monitorEngine.Stop();
    SaveSettings();
    ruleStore.Save(GetRulesFilePath());
    RemoveTrayIcon(window);
    PostQuitMessage(0);
}

void ShowUpdateBalloon(HWND window, UINT titleId, UINT textId, const std::wstring& version) {
    ShowTrayBalloon(window, LoadStringResource(titleId).c_str(),
                    FillPlaceholder(LoadStringResource(textId), version).c_str());
}

}  // namespace

void SetUpdateCheckTimer(HWND window) {
    const uint64_t periodMs =
        static_cast<uint64_t>(appSettings.UpdateCheckIntervalHours.load(std::memory_order_relaxed)) * 3600000u;
    SetTimer(window, IDT_UPDATE_CHECK, static_cast<UINT>(periodMs < USER_TIMER_MAXIMUM ? periodMs : USER_TIMER_MAXIMUM),
             nullptr);
}

void ShowTrayBalloon(HWND window, const wchar_t* title, const wchar_t* text) {
    NOTIFYICONDATAW data = IconData(window);
    data.uFlags = NIF_INFO;
    data.uTimeout = kBalloonTimeoutMs;
    data.dwInfoFlags = NIIF_NONE;
    CopyCut(data.szInfoTitle, title);
    CopyCut(data.szInfo, text);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_TIMER:
        if (wParam == IDT_UPDATE_CHECK) {
            PostMessageW(window, UWM_CHECK_UPDATES, 0, 0);
        } else if (wParam == IDT_UPDATE_RESULT) {
            HandleUpdateResult(window);
        }
        return 0;
    case UWM_TRAY_CALLBACK:
        OnTrayCallback(window, lParam);
        return 0;
    case UWM_EXIT:
        DestroyWindow(window);
        return 0;
    case UWM_ADD_ICON:
        AddTrayIcon(window);
        return 0;
    case UWM_ALERT:
        HandleAlertMessage(lParam);
        return 0;
    case UWM_SHOW_POST_UPDATE_NOTIFICATION:
        DebugTrace(L"UWM_SHOW_POST_UPDATE_NOTIFICATION");
        ShowUpdateBalloon(window, IDS_UPDATED_TITLE, IDS_UPDATED_TEXT, kDisplayVersion);
        trayState.postUpdateBalloonShown = true;
        return 0;
    case UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION:
        DebugTrace(L"UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION");
        ShowUpdateBalloon(window, IDS_UPDATE_AVAILABLE_TITLE, IDS_UPDATE_AVAILABLE_TEXT, latestVersion.Get());
        trayState.updateBalloonShown = true;
        return 0;
    case UWM_CHECK_UPDATES:
        StartUpdateCheck(window, wParam != 0);
        return 0;
    default:
        if (message != 0 && message == trayState.taskbarCreatedMessage) {
            PostMessageW(window, UWM_ADD_ICON, 0, 0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
