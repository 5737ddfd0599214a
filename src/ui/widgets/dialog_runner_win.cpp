#include "ui/widgets/dialog_runner_win.h"

#include <memory>

#include "base/exception_barrier.h"
#include "base/resource_strings_win.h"
#include "ui/widgets/dialog_dpi_win.h"
#include "ui/widgets/dialog_icons_win.h"

namespace {

// What the runner keeps in DWLP_USER for one open dialog: its handler and its scale. A modeless
// dialog's record belongs to its window once creation has succeeded, and goes with it.
struct RunningDialog {
    DialogHandler& handler;
    DialogDpi dpi;
    bool ownedByWindow = false;
};

INT_PTR HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* running = reinterpret_cast<RunningDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!running) {
        return FALSE;
    }
    DialogHandler* handler = &running->handler;
    switch (message) {
    case WM_INITDIALOG:
        running->dpi.OnInit(dialog);
        SetDialogIcons(dialog);
        ApplyDarkModeToDialog(dialog, handler->Theme());
        handler->OnInit(dialog);
        return TRUE;
    case WM_DESTROY: handler->OnDestroy(dialog); return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        if (running->ownedByWindow) {
            delete running;
        }
        return FALSE;
    case WM_DPICHANGED:
        running->dpi.OnDpiChanged(dialog, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        // Clicks, menu items (code 0) and accelerators (code 1 from no control) are commands; a
        // control's other notices, such as an edit's EN_CHANGE or a static's double click, go with the rest.
        if (HIWORD(wParam) == 0 || (HIWORD(wParam) == 1 && lParam == 0)) {
            return handler->OnCommand(dialog, LOWORD(wParam)) ? TRUE : FALSE;
        }
        [[fallthrough]];
    default: {
        INT_PTR result = FALSE;
        return handler->OnMessage(dialog, message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(L"DialogProc", INT_PTR{FALSE}, [&] { return HandleDialogMessage(dialog, message, wParam, lParam); });
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
    RunningDialog running{handler, {}};
    return DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(templateId), owner, DialogProc,
                           reinterpret_cast<LPARAM>(&running));
}

HWND ShowModelessDialog(UINT templateId, DialogHandler& handler, HWND owner) {
    auto running = std::make_unique<RunningDialog>(RunningDialog{handler, {}});
    HWND dialog = CreateDialogParamW(ProgramModule(), MAKEINTRESOURCEW(templateId), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(running.get()));
    if (dialog) {
        running.release()->ownedByWindow = true;
        ShowWindow(dialog, SW_SHOW);
    }
    return dialog;
}

std::wstring DialogItemText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}
