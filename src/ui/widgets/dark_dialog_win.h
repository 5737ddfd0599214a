#pragma once

#include <windows.h>

#include <span>

// A dialog that themes itself also themes its lists and tabs.
#include "ui/widgets/dark_controls_win.h"

// What a dialog hands the theming: the controls restyled on every theme change, and whether it has
// a menu bar to draw dark.
struct DialogTheme {
    std::span<const UINT> themedControls;
    bool menuBar = false;
};
// The whole dialog's treatment at WM_INITDIALOG; does nothing unless dark mode is supported.
void ApplyDarkModeToDialog(HWND dialog, const DialogTheme& theme);
