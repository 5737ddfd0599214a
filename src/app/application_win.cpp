#include "app/application_win.h"

#include "app/running_instance_win.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "rules/rules_path_win.h"
#include "settings/settings_store_win.h"

Application::Application(HINSTANCE instance)
    : instance_(instance),
      trayMenu_(LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAY_MENU))),
      // Loaded at the small-icon size (not shared), kept for every later add of the icon.
      trayIconImage_(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0))),
      mainDialog_{&rules_,     &engine_.paused, nullptr, &updater_, [this] { dialogs_.OpenAlertLog(); },
                  &engine_.History(), &settings_, &alertHistory_, &mainDialogWindow_,
                  &metricsFileError_},
      window_({settings_, rules_, engine_, metrics_, alertLog_, alertSink_, updater_, trayIcon_, trayIconImage_.get(),
               trayMenu_.get(), dialogs_, alerts_, updates_}) {}

bool Application::Start(bool startInTray) {
    if (HWND running = FindRunningTray()) {
        RaiseRunningInstance(running);
        return false;
    }
    LoadSettings(settings_);
    LoadAlertLog(alertHistory_, settings_.LogFilePath.Get());
    const std::wstring rulesPath = GetRulesFilePath();
    rules_.Load(rulesPath);
    engine_.Attach(&rules_, &alertSink_, &settings_);
    engine_.SetPassObserver(&metrics_);
    alerts_.LogEveryAlert();
    if (!window_.Create(instance_)) {
        return false;
    }
    HWND window = window_.Handle();
    mainDialog_.trayWindow = window;
    alertSink_.SetTarget(window);
    updater_.SetResultWindow(window);
    SendMessageW(window, UWM_ADD_ICON, 0, 0);
    if (rules_.HoldsUnreadFile()) {
        trayIcon_.ShowBalloon(LoadStringResource(IDS_RULES_UNREADABLE_TITLE),
                              FillPlaceholder(LoadStringResource(IDS_RULES_UNREADABLE), NextBackupPath(rulesPath)));
    }
    engine_.Start();
    if (!startInTray) {
        SendMessageW(window, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    return true;
}

bool Application::TakeDialogMessage(MSG& message) {
    HWND progress = updates_.ProgressWindow();
    return progress && IsDialogMessageW(progress, &message);
}
