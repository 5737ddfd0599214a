#include "ui/main_menu_win.h"

#include <cstdint>

#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "settings/setting_ranges.h"
#include "settings/settings_store_win.h"
#include "ui/about_dialog_win.h"
#include "ui/action_toggles.h"
#include "ui/exclusions_dialog_win.h"
#include "ui/widgets/message_box_win.h"

namespace {

// Menu items that stand for a button of the dialog.
struct ForwardedCommand {
    WORD menuId;
    WORD target;
};
constexpr ForwardedCommand kForwardedCommands[] = {
    {IDM_FILE_IMPORT, IDC_IMPORT_RULES}, {IDM_FILE_EXPORT, IDC_EXPORT_RULES}, {IDM_RULES_ADD, IDC_ADD_RULE},
    {IDM_RULES_EDIT, IDC_EDIT_RULE},     {IDM_RULES_REMOVE, IDC_REMOVE_RULE}, {IDM_RULES_PRESETS, IDC_PRESETS},
    {IDM_FILE_CLOSE, IDCANCEL},
};

struct UpdateFrequency {
    WORD menuId;
    uint32_t hours;
};
constexpr UpdateFrequency kUpdateFrequencies[] = {
    {IDM_UPDATE_DAILY, kUpdateCheckIntervalsHours[0]},
    {IDM_UPDATE_EVERY_3_DAYS, kUpdateCheckIntervalsHours[1]},
    {IDM_UPDATE_WEEKLY, kUpdateCheckIntervalsHours[2]}};

UINT Checked(bool checked) {
    return MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED);
}

}  // namespace

void MainMenu::Attach(HWND dialog) {
    menu_ = LoadMenuW(ProgramModule(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    SetMenu(dialog, menu_);
}

bool MainMenu::Forward(HWND dialog, WORD id) const {
    for (const ForwardedCommand& forwarded : kForwardedCommands) {
        if (forwarded.menuId == id) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(forwarded.target, 0), 0);
            return true;
        }
    }
    return false;
}

bool MainMenu::OnCommand(HWND dialog, WORD id) {
    for (const ActionToggle& toggle : kActionToggles) {
        if (toggle.menuId == id) {
            const uint32_t actions = settings_.AlertActions.load(std::memory_order_relaxed) ^ toggle.bit;
            settings_.AlertActions.store(actions, std::memory_order_relaxed);
            CheckDlgButton(dialog, toggle.checkBox, (actions & toggle.bit) ? BST_CHECKED : BST_UNCHECKED);
            SaveSettings(settings_);
            return true;
        }
    }
    for (const UpdateFrequency& frequency : kUpdateFrequencies) {
        if (frequency.menuId == id) {
            settings_.UpdateCheckIntervalHours.store(frequency.hours, std::memory_order_relaxed);
            SaveSettings(settings_);
            Post(UWM_REARM_UPDATE_CHECK);
            return true;
        }
    }
    switch (id) {
    case IDM_MONITORING_PAUSE: paused_.store(true, std::memory_order_relaxed); return true;
    case IDM_MONITORING_RESUME: paused_.store(false, std::memory_order_relaxed); return true;
    case IDM_MONITORING_VIEW_LOG:
        if (openAlertLog_) {
            openAlertLog_();
        }
        return true;
    case IDM_SETTINGS_EXCLUSIONS: RunExclusionsDialog(dialog, settings_); return true;
    case IDM_SETTINGS_START_WITH_WINDOWS: SetStartWithWindows(); return true;
    case IDM_SETTINGS_INCLUDE_BETAS:
        settings_.IncludeBetas.store(!settings_.IncludeBetas.load(std::memory_order_relaxed),
                                     std::memory_order_relaxed);
        SaveSettings(settings_);
        return true;
    case IDM_SETTINGS_RESET:
        if (ShowMessage(dialog, LoadStringResource(IDS_CONFIRM_RESET_SETTINGS),
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, IDS_CONFIRM_RESET_TITLE) == IDYES) {
            ResetSettingsToDefaults(settings_);
            settingsPage_.Refresh(dialog);
            Post(UWM_REARM_UPDATE_CHECK);
        }
        return true;
    case IDM_HELP_CHECK_UPDATES: Post(UWM_CHECK_UPDATES, 1); return true;
    case IDM_HELP_ABOUT: RunAboutDialog(dialog); return true;
    default: return false;
    }
}

void MainMenu::UpdateState() const {
    const bool paused = paused_.load(std::memory_order_relaxed);
    EnableMenuItem(menu_, IDM_MONITORING_PAUSE, MF_BYCOMMAND | (paused ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu_, IDM_MONITORING_RESUME, MF_BYCOMMAND | (paused ? MF_ENABLED : MF_GRAYED));
    const uint32_t actions = settings_.AlertActions.load(std::memory_order_relaxed);
    for (const ActionToggle& toggle : kActionToggles) {
        CheckMenuItem(menu_, toggle.menuId, Checked(actions & toggle.bit));
    }
    CheckMenuItem(menu_, IDM_SETTINGS_START_WITH_WINDOWS, Checked(IsStartWithWindowsEnabled()));
    const uint32_t hours = settings_.UpdateCheckIntervalHours.load(std::memory_order_relaxed);
    const UINT frequency = hours <= 24 ? IDM_UPDATE_DAILY : hours <= 72 ? IDM_UPDATE_EVERY_3_DAYS : IDM_UPDATE_WEEKLY;
    CheckMenuRadioItem(menu_, IDM_UPDATE_DAILY, IDM_UPDATE_WEEKLY, frequency, MF_BYCOMMAND);
    CheckMenuItem(menu_, IDM_SETTINGS_INCLUDE_BETAS, Checked(settings_.IncludeBetas.load(std::memory_order_relaxed)));
}
