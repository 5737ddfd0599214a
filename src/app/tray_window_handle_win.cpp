#include "app/tray_window_win.h"

HWND trayWindow = nullptr;
