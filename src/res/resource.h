#pragma once

// Resource, control, command, message and timer numbers of the program, shared by the .rc file
// and the code. Plain #defines so windres can read it too.

#define WATCHKEEP_VERSION_TEXT "0.0.1.23"
#define WATCHKEEP_VERSION_COMMAS 0,0,1,23

// Private window messages of the tray window (WM_USER + n).
#define UWM_TRAY_CALLBACK 1025
#define UWM_EXIT 1026
#define UWM_ADD_ICON 1027
#define UWM_ALERT 1028
#define UWM_SHOW_POST_UPDATE_NOTIFICATION 1029
#define UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION 1030
#define UWM_CHECK_UPDATES 1031
#define UWM_UPDATE_AVAILABLE 1032

// Timers of the tray window.
#define IDT_UPDATE_RESULT 33860
#define IDT_UPDATE_CHECK 33862

// The tray icon's fixed identifier, the same in every Shell_NotifyIconW call.
#define TRAY_ICON_ID 1
