#include "ui/settings_page_win.h"

#include <cstdint>
#include <string>
#include <utility>

#include "res/resource.h"
#include "settings/app_settings.h"
#include "settings/setting_ranges.h"
#include "settings/settings_store_win.h"
#include "ui/action_toggles.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/file_pickers_win.h"

namespace {

constexpr size_t kMaxPathChars = MAX_PATH - 1;
// The metrics file is written at every pass; its error shows within a second of the pass.
constexpr UINT kMetricsErrorRefreshMs = 1000;

constexpr int kPageControls[] = {
    IDC_SETTINGS_GROUP, IDC_POLL_LABEL,    IDC_POLL_INTERVAL, IDC_TRAY_NOTIFICATIONS, IDC_THROTTLE_LABEL,
    IDC_THROTTLE,       IDC_LOG_TO_FILE,   IDC_LOG_PATH,      IDC_BROWSE_LOG,         IDC_PLAY_SOUND,
    IDC_SOUND_PATH,     IDC_BROWSE_SOUND,  IDC_APPLY,         IDC_METRICS_LABEL,      IDC_METRICS_PATH,
    IDC_BROWSE_METRICS, IDC_METRICS_ERROR,
};

void EnableApply(HWND dialog, bool enable) {
    HWND apply = GetDlgItem(dialog, IDC_APPLY);
    // A disabled button that keeps the focus leaves the keyboard nowhere to go.
    if (!enable && GetFocus() == apply) {
        SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    }
    EnableWindow(apply, enable);
}

// The field's number when it lies in the range; otherwise (also empty or not a number) current.
void ApplyNumber(HWND dialog, int id, SettingRange range, std::atomic<uint32_t>& setting) {
    const UINT value = GetDlgItemInt(dialog, id, nullptr, FALSE);
    if (range.Contains(value)) {
        setting.store(value, std::memory_order_relaxed);
    }
}

// A path longer than the system takes is refused whole and stays in its field: cut, it would
// name another file.
void ApplyPath(HWND dialog, int id, SharedValue<std::wstring>& setting) {
    std::wstring path = DialogItemText(dialog, id);
    if (path.size() <= kMaxPathChars) {
        setting.Set(std::move(path));
    }
}

// The log file is appended to and the metrics file rewritten at every pass: neither picker asks
// before "overwriting".
void Browse(HWND dialog, int field) {
    std::wstring path = DialogItemText(dialog, field);
    const bool chosen =
        field == IDC_LOG_PATH       ? PickFileToSave(dialog, IDS_LOG_FILTER, L"log", path, ExistingFile::AppendTo)
        : field == IDC_METRICS_PATH ? PickFileToSave(dialog, IDS_METRICS_FILTER, L"prom", path, ExistingFile::AppendTo)
                                    : PickFileToOpen(dialog, IDS_SOUND_FILTER, path);
    if (chosen) {
        SetDlgItemTextW(dialog, field, path.c_str());
        EnableApply(dialog, true);
    }
}

}  // namespace

void SettingsPage::ShowMetricsError(HWND dialog) const {
    const std::wstring error = metricsFileError_.Get();
    if (DialogItemText(dialog, IDC_METRICS_ERROR) != error) {
        SetDlgItemTextW(dialog, IDC_METRICS_ERROR, error.c_str());
    }
}

void SettingsPage::Create(HWND dialog) {
    Refresh(dialog);
    EnableApply(dialog, false);
    ShowMetricsError(dialog);
    SetTimer(dialog, IDT_METRICS_ERROR, kMetricsErrorRefreshMs, nullptr);
}

void SettingsPage::Show(HWND dialog, bool shown) {
    for (int id : kPageControls) {
        ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
    }
}

void SettingsPage::Refresh(HWND dialog) {
    SetDlgItemInt(dialog, IDC_POLL_INTERVAL, settings_.PollIntervalMs.load(std::memory_order_relaxed), FALSE);
    SetDlgItemInt(dialog, IDC_THROTTLE, settings_.NotificationThrottleSec.load(std::memory_order_relaxed), FALSE);
    const uint32_t actions = settings_.AlertActions.load(std::memory_order_relaxed);
    for (const ActionToggle& toggle : kActionToggles) {
        CheckDlgButton(dialog, toggle.checkBox, (actions & toggle.bit) ? BST_CHECKED : BST_UNCHECKED);
    }
    SetDlgItemTextW(dialog, IDC_LOG_PATH, settings_.LogFilePath.Get().c_str());
    SetDlgItemTextW(dialog, IDC_SOUND_PATH, settings_.SoundFilePath.Get().c_str());
    SetDlgItemTextW(dialog, IDC_METRICS_PATH, settings_.MetricsFilePath.Get().c_str());
}

bool SettingsPage::OnMessage(HWND dialog, UINT message, WPARAM wParam) {
    if (message != WM_TIMER || wParam != IDT_METRICS_ERROR) {
        return false;
    }
    ShowMetricsError(dialog);
    return true;
}

bool SettingsPage::OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDC_POLL_INTERVAL:
    case IDC_THROTTLE:
    case IDC_LOG_PATH:
    case IDC_SOUND_PATH:
    case IDC_METRICS_PATH:
        if (code != EN_CHANGE) {
            return false;
        }
        EnableApply(dialog, true);
        return true;
    case IDC_TRAY_NOTIFICATIONS:
    case IDC_LOG_TO_FILE:
    case IDC_PLAY_SOUND: EnableApply(dialog, true); return true;
    case IDC_APPLY: Apply(dialog); return true;
    case IDC_BROWSE_LOG: Browse(dialog, IDC_LOG_PATH); return true;
    case IDC_BROWSE_SOUND: Browse(dialog, IDC_SOUND_PATH); return true;
    case IDC_BROWSE_METRICS: Browse(dialog, IDC_METRICS_PATH); return true;
    default: return false;
    }
}

void SettingsPage::Apply(HWND dialog) {
    ApplyNumber(dialog, IDC_POLL_INTERVAL, kPollIntervalMsRange, settings_.PollIntervalMs);
    ApplyNumber(dialog, IDC_THROTTLE, kNotificationThrottleSecRange, settings_.NotificationThrottleSec);
    uint32_t actions = 0;
    for (const ActionToggle& toggle : kActionToggles) {
        actions |= IsDlgButtonChecked(dialog, toggle.checkBox) == BST_CHECKED ? toggle.bit : 0;
    }
    settings_.AlertActions.store(actions, std::memory_order_relaxed);
    ApplyPath(dialog, IDC_LOG_PATH, settings_.LogFilePath);
    ApplyPath(dialog, IDC_SOUND_PATH, settings_.SoundFilePath);
    ApplyPath(dialog, IDC_METRICS_PATH, settings_.MetricsFilePath);
    SaveSettings(settings_);
    EnableApply(dialog, false);
}
