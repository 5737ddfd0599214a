#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <utility>

#include "settings/app_settings.h"
#include "ui/settings_page_win.h"

// The main dialog's menu bar (IDR_MAIN_MENU): items that stand for a button of the dialog, the
// monitoring menu, the settings toggles and update frequencies, and the help menu, with the check
// and grey states each shows when it opens.
class MainMenu {
public:
    MainMenu(AppSettings& settings, std::atomic<bool>& paused, HWND trayWindow, std::function<void()> openAlertLog,
             SettingsPage& settingsPage)
        : settings_(settings),
          paused_(paused),
          trayWindow_(trayWindow),
          openAlertLog_(std::move(openAlertLog)),
          settingsPage_(settingsPage) {}

    // Loads the menu into the dialog, which destroys it with itself.
    void Attach(HWND dialog);
    // A menu item that stands for a button is sent on as the button's command; true when it was one.
    bool Forward(HWND dialog, WORD id) const;
    // The menu's own commands; true when it was one.
    bool OnCommand(HWND dialog, WORD id);
    // WM_INITMENUPOPUP: checks and greys the items as the settings and the monitor stand now.
    void UpdateState() const;

private:
    void Post(UINT message, WPARAM wParam = 0) const { PostMessageW(trayWindow_, message, wParam, 0); }

    AppSettings& settings_;
    std::atomic<bool>& paused_;
    // Takes UWM_CHECK_UPDATES and UWM_REARM_UPDATE_CHECK.
    HWND trayWindow_;
    std::function<void()> openAlertLog_;
    SettingsPage& settingsPage_;
    HMENU menu_ = nullptr;
};
