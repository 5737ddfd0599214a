#pragma once

#include <windows.h>

#include "ui/widgets/dialog_runner_win.h"

// The modeless "Checking for updates..." dialog (IDD_UPDATE_PROGRESS) on the thread that shows it,
// which must pass its messages through IsDialogMessageW. Cancel closes it without stopping the
// check; the owner of this object closes it when the check reports, and at its own end.
class UpdateProgressDialog final : public DialogHandler {
public:
    UpdateProgressDialog() = default;
    ~UpdateProgressDialog() { Close(); }
    UpdateProgressDialog(const UpdateProgressDialog&) = delete;
    UpdateProgressDialog& operator=(const UpdateProgressDialog&) = delete;

    // Shows the dialog unless it shows already.
    void Show();
    void Close();
    // The open dialog, or null.
    HWND Window() const { return window_; }

    DialogTheme Theme() const override;
    void OnInit(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id) override;
    void OnDestroy(HWND) override { window_ = nullptr; }

private:
    HWND window_ = nullptr;
};
