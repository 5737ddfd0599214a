#pragma once

#include <windows.h>

#include <string>

#include "base/shared_value.h"
#include "settings/app_settings.h"
#include "ui/main_dialog_page_win.h"

// The "Settings" page of the main dialog: Apply is enabled by a change of the page's fields and
// check boxes and writes the accepted values to the settings; the "..." buttons pick the log, the
// sound and the metrics file, and the last error of the metrics file shows below its field.
class SettingsPage final : public MainDialogPage {
public:
    SettingsPage(AppSettings& settings, const SharedValue<std::wstring>& metricsFileError)
        : settings_(settings), metricsFileError_(metricsFileError) {}

    // Fills the fields, Apply disabled, and starts the metrics error's timer.
    void Create(HWND dialog) override;
    void Show(HWND dialog, bool shown) override;
    // Fills the fields from the settings; a changed field enables Apply.
    void Refresh(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id, WORD code) override;
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam) override;

private:
    void Apply(HWND dialog);
    void ShowMetricsError(HWND dialog) const;

    AppSettings& settings_;
    const SharedValue<std::wstring>& metricsFileError_;
};
