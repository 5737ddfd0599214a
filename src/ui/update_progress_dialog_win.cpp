#include "ui/update_progress_dialog_win.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

constexpr WPARAM kMarqueeStepMs = 30;
constexpr UINT kThemedControls[] = {IDC_UPDATE_STATUS, IDCANCEL};

}  // namespace

void UpdateProgressDialog::Show() {
    if (!window_) {
        window_ = ShowModelessDialog(IDD_UPDATE_PROGRESS, *this);
    }
}

void UpdateProgressDialog::Close() {
    if (window_) {
        DestroyWindow(window_);
    }
}

DialogTheme UpdateProgressDialog::Theme() const {
    return {kThemedControls};
}

void UpdateProgressDialog::OnInit(HWND dialog) {
    window_ = dialog;
    SendDlgItemMessageW(dialog, IDC_UPDATE_PROGRESS, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
}

bool UpdateProgressDialog::OnCommand(HWND dialog, WORD id) {
    if (id == IDCANCEL) {
        DestroyWindow(dialog);
        return true;
    }
    return false;
}
