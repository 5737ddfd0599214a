#pragma once

#include <windows.h>

#include <string>

#include "ui/widgets/dark_dialog_win.h"

// What one dialog does with its messages. The runner keeps the handler in DWLP_USER for the
// dialog's life, so the state of each open dialog lives in its own handler object. The runner itself
// follows the dialog to a monitor of another scale (WM_DPICHANGED).
class DialogHandler {
public:
    virtual void OnInit(HWND) {}
    // OK and Cancel end the dialog with their id unless a handler does more.
    virtual bool OnCommand(HWND dialog, WORD id);
    virtual void OnDestroy(HWND) {}
    // Every other message, WM_COMMAND notices of controls included; true when handled, with the
    // dialog procedure's result in result.
    virtual bool OnMessage(HWND, UINT, WPARAM, LPARAM, INT_PTR&) { return false; }
    // The controls the dark theme restyles; the runner applies it before OnInit.
    virtual DialogTheme Theme() const { return {}; }

protected:
    ~DialogHandler() = default;
};

// Runs the dialog template modally with the program icon until it ends; the dialog's end code.
INT_PTR RunDialog(UINT templateId, DialogHandler& handler, HWND owner = nullptr);

// Creates and shows the dialog template modelessly on the calling thread, whose loop must pass its
// messages through IsDialogMessageW; null when it cannot be created. The handler outlives the
// window and ends it with DestroyWindow, never EndDialog.
HWND ShowModelessDialog(UINT templateId, DialogHandler& handler, HWND owner = nullptr);

// The whole text of a dialog's control; empty when there is no such control.
std::wstring DialogItemText(HWND dialog, int id);
