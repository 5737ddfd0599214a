#include "ui/widgets/dialog_runner_win.h"

#include "base/resource_strings_win.h"
#include "ui/widgets/dialog_icons_win.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* handler = reinterpret_cast<DialogHandler*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!handler) {
        return FALSE;
    }
    switch (message) {
    case WM_INITDIALOG:
        SetDialogIcons(dialog);
        handler->OnInit(dialog);
        return TRUE;
    case WM_COMMAND: return handler->OnCommand(dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_DESTROY: handler->OnDestroy(dialog); return FALSE;
    default: {
        INT_PTR result = FALSE;
        return handler->OnMessage(dialog, message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

}  // namespace

bool DialogHandler::OnCommand(HWND dialog, WORD id) {
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return true;
    }
    return false;
}

INT_PTR RunDialog(UINT templateId, DialogHandler& handler, HWND owner) {
    return DialogBoxParamW(appInstance, MAKEINTRESOURCEW(templateId), owner, DialogProc,
                           reinterpret_cast<LPARAM>(&handler));
}
