#pragma once

// Resource, control, command, message and timer numbers of the program, shared by the .rc file
// and the code. Plain #defines so windres can read it too.

// The program's version, its one home: the code, the version resource, the manifest (generated
// by CMake from this line) and the project version all read it here. Keep the two forms equal.
#define WATCHKEEP_VERSION_TEXT "0.0.1.23"
#define WATCHKEEP_VERSION_COMMAS 0, 0, 1, 23

// Private window messages of the tray window (WM_USER + n).
#define UWM_TRAY_CALLBACK 1025
#define UWM_EXIT 1026
#define UWM_ADD_ICON 1027
#define UWM_ALERT 1028
#define UWM_SHOW_POST_UPDATE_NOTIFICATION 1029
#define UWM_SHOW_UPDATE_AVAILABLE_NOTIFICATION 1030
#define UWM_CHECK_UPDATES 1031
#define UWM_UPDATE_AVAILABLE 1032
// From the main dialog: the update frequency changed, re-arm IDT_UPDATE_CHECK.
#define UWM_REARM_UPDATE_CHECK 1033
// From the update threads: a check ended; the installer could not be started. From the main
// dialog: start the installer of the known newer version.
#define UWM_UPDATE_CHECKED 1250
#define UWM_UPDATE_INSTALL_FAILED 1251
#define UWM_INSTALL_UPDATE 1252
// To the main dialog: a check found no newer version; the version link offers a check again.
#define UWM_NO_UPDATE_FOUND 1253
// From the rules list's cell editor to the main dialog: wParam 1 commits, 0 cancels.
#define UWM_END_CELL_EDIT 1124

// Timers of the tray window.
#define IDT_UPDATE_CHECK 33862
// Shows the alerts gathered during the balloon throttle once it has passed.
#define IDT_BALLOON_FLUSH 33864
// The main dialog's refresh of its recent-alerts list.
#define IDT_RECENT_ALERTS 36865

// The tray icon's fixed identifier, the same in every Shell_NotifyIconW call.
#define TRAY_ICON_ID 1

// String table.
#define IDS_APP_TITLE 103
#define IDC_WATCHKEEP 109
#define IDS_COL_ENABLED 200
#define IDS_COL_PATTERN 201
#define IDS_COL_HANDLES 202
#define IDS_COL_WORKING_SET 203
#define IDS_COL_PRIVATE_BYTES 204
#define IDS_COL_CPU 205
#define IDS_COL_THREADS 206
#define IDS_COL_GDI 207
#define IDS_COL_USER 208
#define IDS_COL_TIME 209
#define IDS_COL_PID 210
#define IDS_COL_PROCESS 211
#define IDS_COL_VIOLATION 212
#define IDS_TAB_RECENT_ALERTS 213
#define IDS_TAB_SETTINGS 214
#define IDS_CLEAR_LOG 215
#define IDS_PRESET_BROWSERS 216
#define IDS_PRESET_RUNAWAY_CPU 217
#define IDS_PRESET_HANDLE_LEAK 218
#define IDS_PRESET_MEMORY_HOG 219
#define IDS_PRESET_GDI_LEAK 220
#define IDS_PRESET_THREAD_BOMB 221
#define IDS_NO_UPDATES 222
#define IDS_UPDATE_DOWNLOAD_FAILED 223
#define IDS_UPDATE_ERROR_TITLE 224
#define IDS_UPDATED_TITLE 225
#define IDS_UPDATED_TEXT 226
#define IDS_UPDATE_AVAILABLE_TITLE 227
#define IDS_UPDATE_AVAILABLE_TEXT 228
#define IDS_TRAY_TIP 229
#define IDS_EXPORT_SUCCEEDED 230
#define IDS_EXPORT_FAILED 231
#define IDS_IMPORT_FAILED 232
#define IDS_JSON_FILTER 233
#define IDS_CSV_FILTER 234
#define IDS_CSV_HEADER 235
#define IDS_ABOUT_VERSION 236
#define IDS_SAVE_RULES_FAILED 237
#define IDS_PATTERN_REQUIRED 1200
#define IDS_RULES_UNREADABLE 1201
#define IDS_RULES_UNREADABLE_TITLE 1202
#define IDS_LOG_FILTER 238
#define IDS_SOUND_FILTER 239
#define IDS_CLEAR_LOG_FAILED 241
#define IDS_UPDATE_NOW_QUESTION 244
#define IDS_VERSION_LINK_UPDATE 245
#define IDS_CONFIRM_RESET_SETTINGS 246
#define IDS_CONFIRM_RESET_RULES 247
#define IDS_CONFIRM_RESET_TITLE 248
#define IDS_VERSION_LINK_CHECK 249
#define IDS_UPDATE_INCOMPLETE_TITLE 1260
#define IDS_UPDATE_INCOMPLETE_TEXT 1261

// Icons, menus and dialogs.
#define IDI_WATCHKEEP 107
#define IDI_SMALL 108
#define IDR_TRAY_MENU 129
#define IDD_MAIN_DIALOG 130
#define IDD_RULE_EDITOR 131
#define IDD_ALERT_LOG 132
#define IDR_MAIN_MENU 133
#define IDD_UPDATE_PROGRESS 134
#define IDD_ABOUT 135
#define IDD_EXCLUSIONS 136

// Tray popup menu commands.
#define IDM_EXIT 32771
#define IDM_OPEN 32772
#define IDM_PAUSE_MONITORING 32773
#define IDM_RESUME_MONITORING 32774
#define IDM_VIEW_ALERT_LOG 32775

// Main dialog menu bar commands.
#define IDM_FILE_IMPORT 32776
#define IDM_FILE_EXPORT 32777
#define IDM_FILE_EXIT 32778
#define IDM_RULES_ADD 32779
#define IDM_RULES_EDIT 32780
#define IDM_RULES_REMOVE 32781
#define IDM_RULES_PRESETS 32782
#define IDM_MONITORING_PAUSE 32783
#define IDM_MONITORING_RESUME 32784
#define IDM_MONITORING_VIEW_LOG 32785
#define IDM_HELP_ABOUT 32786
#define IDM_HELP_CHECK_UPDATES 32787
#define IDM_SETTINGS_TRAY_NOTIFICATIONS 32788
#define IDM_SETTINGS_LOG_TO_FILE 32789
#define IDM_SETTINGS_PLAY_SOUND 32790
#define IDM_SETTINGS_START_WITH_WINDOWS 32791
#define IDM_CLEAR_LOG 32792
#define IDM_FILE_CLOSE 32793
#define IDM_SETTINGS_INCLUDE_BETAS 32794
#define IDM_UPDATE_DAILY 32795
#define IDM_UPDATE_EVERY_3_DAYS 32796
#define IDM_UPDATE_WEEKLY 32797
#define IDM_SETTINGS_EXCLUSIONS 32798
#define IDM_SETTINGS_RESET 32799
#define IDM_RULES_RESET 32800

// Preset popup menu of the main dialog, one item per preset rule set.
#define IDM_PRESET_BROWSERS 40001
#define IDM_PRESET_RUNAWAY_CPU 40002
#define IDM_PRESET_HANDLE_LEAK 40003
#define IDM_PRESET_MEMORY_HOG 40004
#define IDM_PRESET_GDI_LEAK 40005
#define IDM_PRESET_THREAD_BOMB 40006
// Controls of the main dialog.
#define IDC_RULES_LIST 1000
#define IDC_ADD_RULE 1001
#define IDC_EDIT_RULE 1002
#define IDC_REMOVE_RULE 1003
#define IDC_POLL_INTERVAL 1004
#define IDC_TRAY_NOTIFICATIONS 1005
#define IDC_LOG_TO_FILE 1006
#define IDC_PLAY_SOUND 1007
#define IDC_LOG_PATH 1008
#define IDC_SOUND_PATH 1009
#define IDC_BROWSE_LOG 1010
#define IDC_BROWSE_SOUND 1011
#define IDC_IMPORT_RULES 1050
#define IDC_EXPORT_RULES 1051
#define IDC_PRESETS 1052
#define IDC_RECENT_ALERTS 1053
#define IDC_TABS 1054
#define IDC_SETTINGS_GROUP 1055
#define IDC_SIZE_GRIP 1056
#define IDC_RULES_GROUP 1057
#define IDC_POLL_LABEL 1058
#define IDC_THROTTLE 1060
#define IDC_THROTTLE_LABEL 1061
#define IDC_VERSION_LINK 1069
#define IDC_APPLY 1070
// The metrics file row of the settings page, its last error, and the timer that refreshes it.
#define IDC_METRICS_LABEL 1350
#define IDC_METRICS_PATH 1351
#define IDC_BROWSE_METRICS 1352
#define IDC_METRICS_ERROR 1353
#define IDS_METRICS_FILTER 1354
#define IDT_METRICS_ERROR 1355

// Controls of the alert log dialog.
#define IDC_ALERT_LOG_LIST 1040
#define IDC_EXPORT_CSV 1041
#define IDC_CLEAR_ALERT_LOG 1042
#define IDC_ALERT_LOG_SIZE_GRIP 1059

// Controls of the about and exclusions dialogs.
#define IDC_ABOUT_TITLE 1064
#define IDC_ABOUT_VERSION 1065
#define IDC_ABOUT_HOME_PAGE 1066
#define IDC_ABOUT_ICON 1067
#define IDC_EXCLUSIONS_TEXT 1068

// Controls of the update progress dialog.
#define IDC_UPDATE_STATUS 1062
#define IDC_UPDATE_PROGRESS 1063

// Controls of the rule editor.
#define IDC_RULE_PATTERN 1020
#define IDC_RULE_MAX_HANDLES 1021
#define IDC_RULE_MAX_WORKING_SET 1022
#define IDC_RULE_MAX_PRIVATE_BYTES 1023
#define IDC_RULE_MAX_CPU 1024
#define IDC_RULE_MAX_THREADS 1025
#define IDC_RULE_MAX_GDI 1026
#define IDC_RULE_MAX_USER 1027
#define IDC_RULE_COOLDOWN 1028
#define IDC_RULE_ENABLED 1029
#define IDC_RULE_SUSTAIN 1300
#define IDC_RULE_NOTIFY_BACK_UNDER 1301

// The processes page of the main dialog.
#define IDC_PROCESSES 1400
#define IDC_PROCESS_FILTER_LABEL 1401
#define IDC_PROCESS_FILTER 1402
#define IDC_WATCH_PROCESS 1403
#define IDS_TAB_PROCESSES 1404
#define IDS_WATCH_PROCESS 1405
#define IDS_EXCLUDED_PROCESS 1406
#define IDT_PROCESSES 1407
#define IDC_PROCESS_HISTORY 1408
#define IDS_PROCESS_HISTORY 1409

// The history window of one process: its charts take the ids from IDC_HISTORY_CHART on.
#define IDD_HISTORY 1410
#define IDC_HISTORY_EXPORT 1411
#define IDT_HISTORY 1412
#define IDS_HISTORY_CAPTION 1413
#define IDS_HISTORY_CSV_HEADER 1414
#define IDS_NO_HISTORY 1415
#define IDC_HISTORY_CHART 1420
#define IDS_CHART_HANDLES 1430
