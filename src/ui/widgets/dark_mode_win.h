#pragma once

#include <windows.h>

#include <span>

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

// What a dialog hands the theming: the controls restyled on every theme change, and whether it has
// a menu bar to draw dark.
struct DialogTheme {
    std::span<const UINT> themedControls;
    bool menuBar = false;
};
// The whole dialog's treatment at WM_INITDIALOG; does nothing unless dark mode is supported.
void ApplyDarkModeToDialog(HWND dialog, const DialogTheme& theme);
// For EnumChildWindows; always continues.
BOOL CALLBACK ThemeChildWindow(HWND child, LPARAM);

// Report lists, the tab control and the menu bar of the dialogs (dark_controls_win.cpp).
void SetupListViewTheme(HWND list);
// SetupListViewTheme plus the dark list colours and the hidden size grip, where supported.
void ThemeReportList(HWND list, HWND sizeGrip);
void ThemeTabControl(HWND tabs);
// WM_DRAWITEM of a tab control that ThemeTabControl made owner-drawn.
void DrawDarkTab(const DRAWITEMSTRUCT& item);
void InstallMenuBarSubclass(HWND dialog);
