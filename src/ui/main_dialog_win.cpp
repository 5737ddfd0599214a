#include "ui/main_dialog_win.h"

#include <windows.h>

#include "app/dialog_threads_win.h"
#include "app/resource_helpers_win.h"
#include "res/resource.h"

namespace {

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        mainDialogWindow.store(dialog);
        SetDialogIcons(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        mainDialogWindow.store(nullptr);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunMainDialog() {
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, MainDialogProc, 0);
}
