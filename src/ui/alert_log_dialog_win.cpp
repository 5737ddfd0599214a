#include "ui/alert_log_dialog_win.h"

#include <windows.h>

#include "app/resource_helpers_win.h"
#include "res/resource.h"

namespace {

INT_PTR CALLBACK AlertLogDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDialogIcons(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunAlertLogDialog() {
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ALERT_LOG), nullptr, AlertLogDialogProc, 0);
}
