#pragma once

#include <windows.h>

// Shows dialog 135 (icon, name in a bold title font, version, home-page link), modal to owner.
void RunAboutDialog(HWND owner);
