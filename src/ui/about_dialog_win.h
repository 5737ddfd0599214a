#pragma once

#include <windows.h>

// Shows the IDD_ABOUT dialog (icon, name in a bold title font, version, home-page link), modal to owner.
void RunAboutDialog(HWND owner);
