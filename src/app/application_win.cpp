#include "app/application_win.h"

#include "alerts/alert_history.h"
#include "app/startup_win.h"
#include "app/tray_window_win.h"
#include "base/debug_trace.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rules_path_win.h"
#include "settings/settings_store_win.h"

Application::Application(HINSTANCE instanceIn)
    : instance(instanceIn),
      trayMenu(LoadMenuW(instanceIn, MAKEINTRESOURCEW(IDR_TRAY_MENU))),
      // Loaded at the small-icon size (not shared), kept for every later add of the icon.
      trayIconImage(static_cast<HICON>(LoadImageW(instanceIn, MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0))) {
    appInstance = instanceIn;
}

bool Application::Start(bool startInTray) {
    const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    const std::wstring windowTitle = LoadStringResource(IDS_APP_TITLE);
    if (HWND running = FindRunningTray()) {
        RaiseRunningInstance(running);
        return false;
    }
    LoadSettings();
    LoadAlertLog();
    const std::wstring rulesPath = GetRulesFilePath();
    rules.Load(rulesPath);
    engine.Attach(&rules, &alertSink);
    engine.SetPassObserver(&metrics);
    LogEveryAlert(*this);
    HWND window = CreateWindowExW(0, windowClass.c_str(), windowTitle.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, this);
    if (!window) {
        return false;
    }
    trayWindow_ = window;
    mainDialog = {&rules, &engine.paused, window, &updates, [this] { dialogs.OpenAlertLog(&mainDialog); },
                  &engine.History(), &appSettings, &ProcessAlertHistoryStore(), &mainDialogWindow};
    alertSink.SetTarget(window);
    updates.SetResultWindow(window);
    SendMessageW(window, UWM_ADD_ICON, 0, 0);
    if (rules.HoldsUnreadFile()) {
        trayIcon.ShowBalloon(LoadStringResource(IDS_RULES_UNREADABLE_TITLE),
                             FillPlaceholder(LoadStringResource(IDS_RULES_UNREADABLE), NextBackupPath(rulesPath)));
    }
    engine.Start();
    if (!startInTray) {
        SendMessageW(window, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    return true;
}

Application* ApplicationOf(HWND trayWindow) {
    return reinterpret_cast<Application*>(GetWindowLongPtrW(trayWindow, GWLP_USERDATA));
}
