#pragma once

#include <windows.h>

// Report lists, the tab control and the menu bar of the dialogs drawn for dark mode.
void SetupListViewTheme(HWND list);
// SetupListViewTheme plus the dark list colours and the hidden size grip, where supported.
void ThemeReportList(HWND list, HWND sizeGrip);
void ThemeTabControl(HWND tabs);
// WM_DRAWITEM of a tab control that ThemeTabControl made owner-drawn.
void DrawDarkTab(const DRAWITEMSTRUCT& item);
// The dialog's menu bar, drawn with its own theme handle, closed with the dialog.
void InstallMenuBarSubclass(HWND dialog);
