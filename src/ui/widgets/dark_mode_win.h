#pragma once

#include <windows.h>

#include "ui/widgets/dark_mode_policy.h"

inline constexpr COLORREF kDarkTextColor = RGB(224, 224, 224);
inline constexpr COLORREF kDarkBackgroundColor = RGB(32, 32, 32);

// Decided once by InitDarkMode before any window exists, read by every window afterwards.
const DarkModeState& DarkMode();
const DarkModeEntryPoints& DarkModeEntries();

// Start-up, right after the common controls: reads the true version, resolves the entry points and
// switches the application to dark mode where the system offers it. Inert where any is missing.
void InitDarkMode();
bool IsHighContrast();
bool IsWindows11OrLater();
void RefreshTitleBarTheme(HWND window);

// Lets the window follow the application's mode; nothing where dark mode is unsupported.
void AllowDarkModeFor(HWND window);
// A control a dialog lists for restyling: its visual style for the class and the mode, then
// WM_THEMECHANGED so that it redraws with it.
void ThemeListedControl(HWND control);
// The title-bar property RefreshTitleBarTheme may have set, removed before the window goes.
void ForgetTitleBarTheme(HWND window);
// For EnumChildWindows; always continues.
BOOL CALLBACK ThemeChildWindow(HWND child, LPARAM);
