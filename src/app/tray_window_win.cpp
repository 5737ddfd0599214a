#include "app/tray_window_win.h"

#include <shellapi.h>

#include <string>

#include "base/debug_trace.h"
#include "base/exception_barrier.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rule_store.h"
#include "rules/rules_path_win.h"
#include "settings/settings_store_win.h"
#include "update/version.h"

TrayWindowHandler::~TrayWindowHandler() {
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    }
}

bool TrayWindowHandler::Create(HINSTANCE instance) {
    const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    const std::wstring windowTitle = LoadStringResource(IDS_APP_TITLE);
    return CreateWindowExW(0, windowClass.c_str(), windowTitle.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                           CW_USEDEFAULT, 0, nullptr, nullptr, instance, this) != nullptr;
}

LRESULT CALLBACK TrayWindowHandler::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(L"TrayWindowProc", LRESULT{0}, [&] {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            auto* created = static_cast<TrayWindowHandler*>(creation->lpCreateParams);
            created->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
        auto* tray = reinterpret_cast<TrayWindowHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY && tray) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            tray->window_ = nullptr;
            tray = nullptr;
        }
        return tray ? tray->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
    });
}

LRESULT TrayWindowHandler::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case UWM_TRAY_CALLBACK: OnTrayCallback(lParam); return 0;
    case UWM_EXIT: DestroyWindow(window_); return 0;
    case UWM_ADD_ICON: OnAddIcon(); return 0;
    case UWM_ALERT: parts_.alerts.DeliverQueued(window_); return 0;
    case UWM_SHOW_POST_UPDATE_NOTIFICATION: parts_.updates.ShowPostUpdateBalloon(); return 0;
    case UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION: parts_.updates.ShowUpdateAvailableBalloon(); return 0;
    case UWM_CHECK_UPDATES: parts_.updates.StartCheck(wParam != 0); return 0;
    case UWM_UPDATE_CHECKED: parts_.updates.ReportResult(window_); return 0;
    case UWM_INSTALL_UPDATE: parts_.updater.StartInstall(); return 0;
    case UWM_UPDATE_INSTALL_FAILED: TrayUpdates::ReportInstallFailed(); return 0;
    case UWM_REARM_UPDATE_CHECK: SetUpdateCheckTimer(); return 0;
    default:
        if (message != 0 && message == taskbarCreatedMessage_) {
            PostMessageW(window_, UWM_ADD_ICON, 0, 0);
            return 0;
        }
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void TrayWindowHandler::OnCreate() {
    taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    SetUpdateCheckTimer();
    PostMessageW(window_, WM_TIMER, IDT_UPDATE_CHECK, 0);
    parts_.updates.CheckUpdateFinished(window_);
}

void TrayWindowHandler::OnDestroy() {
    parts_.engine.Stop();
    parts_.metrics.Close();
    // Every line of an alert raised so far is in the log before the program ends.
    parts_.alertLog.Stop();
    SaveSettings(parts_.settings);
    parts_.rules.SaveAtExit(GetRulesFilePath());
    parts_.icon.Remove();
    // Alerts of a pass still running find no window and are dropped, not queued for nobody.
    parts_.alertSink.SetTarget(nullptr);
    PostQuitMessage(0);
}

void TrayWindowHandler::OnTimer(WPARAM id) {
    if (id == IDT_UPDATE_CHECK) {
        PostMessageW(window_, UWM_CHECK_UPDATES, 0, 0);
    } else if (id == IDT_BALLOON_FLUSH) {
        parts_.alerts.FlushGathered(window_);
    }
}

void TrayWindowHandler::OnTrayCallback(LPARAM code) {
    switch (code) {
    case WM_LBUTTONUP: parts_.dialogs.OpenMainDialog(); break;
    case WM_RBUTTONUP: ShowMenu(); break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT: parts_.updates.OnBalloonGone(); break;
    case NIN_BALLOONUSERCLICK:
        if (!parts_.updates.OnBalloonClick()) {
            parts_.dialogs.OpenMainDialog();
        }
        break;
    default: break;
    }
}

void TrayWindowHandler::OnAddIcon() {
    DebugTrace(L"UWM_ADD_ICON");
    parts_.icon.Add(window_, parts_.iconImage, LoadStringResource(IDS_TRAY_TIP) + kDisplayVersion);
}

void TrayWindowHandler::OnMenuCommand(UINT command) {
    switch (command) {
    case IDM_OPEN: parts_.dialogs.OpenMainDialog(); break;
    case IDM_PAUSE_MONITORING:
        parts_.engine.paused.store(true, std::memory_order_relaxed);
        DebugTrace(L"Monitoring paused");
        break;
    case IDM_RESUME_MONITORING:
        parts_.engine.paused.store(false, std::memory_order_relaxed);
        DebugTrace(L"Monitoring resumed");
        break;
    case IDM_VIEW_ALERT_LOG: parts_.dialogs.OpenAlertLog(); break;
    case IDM_EXIT: DestroyWindow(window_); break;
    default: break;
    }
}

void TrayWindowHandler::ShowMenu() {
    HMENU popup = GetSubMenu(parts_.menu, 0);
    if (!popup) {
        return;
    }
    const bool paused = parts_.engine.paused.load(std::memory_order_relaxed);
    EnableMenuItem(popup, IDM_PAUSE_MONITORING, MF_BYCOMMAND | (paused ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(popup, IDM_RESUME_MONITORING, MF_BYCOMMAND | (paused ? MF_ENABLED : MF_GRAYED));
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window_);
    POINT cursor = {};
    GetCursorPos(&cursor);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr));
    SendMessageW(window_, WM_NULL, 0, 0);
    OnMenuCommand(command);
}

void TrayWindowHandler::SetUpdateCheckTimer() {
    const uint64_t periodMs =
        static_cast<uint64_t>(parts_.settings.UpdateCheckIntervalHours.load(std::memory_order_relaxed)) * 3600000u;
    SetTimer(window_, IDT_UPDATE_CHECK,
             static_cast<UINT>(periodMs < USER_TIMER_MAXIMUM ? periodMs : USER_TIMER_MAXIMUM), nullptr);
}
