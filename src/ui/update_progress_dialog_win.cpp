#include "ui/update_progress_dialog_win.h"

#include <commctrl.h>

#include "base/exception_barrier.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/widgets/dark_dialog_win.h"
#include "ui/widgets/dialog_icons_win.h"

namespace {

constexpr WPARAM kMarqueeStepMs = 30;
constexpr UINT kThemedControls[] = {IDC_UPDATE_STATUS, IDCANCEL};

INT_PTR HandleUpdateProgressMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDialogIcons(dialog);
        // Modeless, so not one of the runner's: it takes the dialogs' treatment here.
        ApplyDarkModeToDialog(dialog, {kThemedControls});
        SendDlgItemMessageW(dialog, IDC_UPDATE_PROGRESS, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            auto* handle = reinterpret_cast<HWND*>(GetWindowLongPtrW(dialog, DWLP_USER));
            DestroyWindow(dialog);
            *handle = nullptr;
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK UpdateProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(L"UpdateProgressProc", INT_PTR{FALSE},
                   [&] { return HandleUpdateProgressMessage(dialog, message, wParam, lParam); });
}

}  // namespace

HWND ShowUpdateProgressDialog(HWND* handle) {
    *handle = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_UPDATE_PROGRESS), nullptr, UpdateProgressProc,
                                 reinterpret_cast<LPARAM>(handle));
    if (*handle) {
        ShowWindow(*handle, SW_SHOW);
    }
    return *handle;
}
