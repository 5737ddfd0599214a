#pragma once

#include <windows.h>

// The hidden tray window, meeting point of all threads. Set by start-up before any other thread
// starts and never changed while they run; they reach it only by posting or sending messages.
extern HWND trayWindow;

// Window procedure of the tray window class "WATCHKEEPW".
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Main-thread state of the tray window and the update machinery.
struct TrayState {
    UINT taskbarCreatedMessage = 0;
    HMENU trayMenu = nullptr;
    bool manualUpdateCheck = false;
    bool updateBalloonShown = false;
    bool postUpdateBalloonShown = false;
    // The progress window of a check the user asked for; its own procedure clears it on cancel.
    HWND updateProgressDialog = nullptr;
};
extern TrayState trayState;

// (Re)arms the schedule timer with the period of UpdateCheckIntervalHours. Main thread.
void SetUpdateCheckTimer(HWND window);

// A balloon on the tray icon (NIF_INFO only, 10 s, no icon), title cut to 63 characters.
void ShowTrayBalloon(HWND window, const wchar_t* title, const wchar_t* text);

// Update checks (tray_updates_win.cpp): start one, and handle a finished one's result.
void StartUpdateCheck(HWND window, bool userAsked);
void HandleUpdateResult(HWND window);
