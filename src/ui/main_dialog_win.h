#pragma once

#include <windows.h>

#include <atomic>

// The open main dialog, published by the dialog itself while it exists; none otherwise.
extern std::atomic<HWND> mainDialogWindow;

// Runs the main dialog (template 130) modally with no owner until it is closed. It publishes its
// window in mainDialogWindow while it exists.
void RunMainDialog();
