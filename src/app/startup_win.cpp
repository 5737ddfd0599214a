#include "app/startup_win.h"

#include <commctrl.h>

#include <cwchar>

#include "alerts/alert_dispatch.h"
#include "alerts/alert_history.h"
#include "app/debug_trace.h"
#include "app/resource_helpers_win.h"
#include "app/settings_store.h"
#include "app/tray_window_win.h"
#include "app/update_state_win.h"
#include "monitor/monitor_engine.h"
#include "res/resource.h"
#include "rules/rule_store.h"

bool startInTray = false;

namespace {

constexpr int kNameBufferChars = 384;

wchar_t windowTitle[kNameBufferChars];
wchar_t windowClass[kNameBufferChars];

void LoadNames(HINSTANCE instance) {
    LoadStringW(instance, IDS_APP_TITLE, windowTitle, kNameBufferChars);
    LoadStringW(instance, IDC_WATCHKEEP, windowClass, kNameBufferChars);
}

void DeliverTerminate() {
    if (HWND running = FindWindowW(windowClass, windowTitle)) {
        // Sent, not posted: this returns only once the running instance has saved and ended.
        SendMessageW(running, UWM_EXIT, 0, 0);
    }
}

}  // namespace

bool RegisterTrayWindowClass(HINSTANCE instance) {
    LoadNames(instance);
    WNDCLASSEXW windowClassInfo = {};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = CS_HREDRAW | CS_VREDRAW;
    windowClassInfo.lpfnWndProc = TrayWindowProc;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WATCHKEEP));
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClassInfo.lpszMenuName = MAKEINTRESOURCEW(IDR_TRAY_MENU);
    windowClassInfo.lpszClassName = windowClass;
    windowClassInfo.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    return RegisterClassExW(&windowClassInfo) != 0;
}

BOOL InitInstance(HINSTANCE instance) {
    appInstance = instance;
    if (HWND running = FindWindowW(windowClass, windowTitle)) {
        DebugTrace(L"Existing instance found, invoking settings dialog");
        SendMessageW(running, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
        return FALSE;
    }
    LoadSettings();
    LoadAlertLog();
    ruleStore.Load(GetRulesFilePath());
    monitorEngine.Attach(&ruleStore, &guiAlertSink);
    HWND window = CreateWindowExW(0, windowClass, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT,
                                  0, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return FALSE;
    }
    trayWindow = window;
    SendMessageW(window, UWM_ADD_ICON, 0, 0);
    monitorEngine.Start();
    if (!startInTray) {
        SendMessageW(window, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }
    return TRUE;
}

int RunWatchkeep(HINSTANCE instance) {
    appInstance = instance;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    RegisterTrayWindowClass(instance);

    const wchar_t* commandLine = GetCommandLineW();
    if (std::wcsstr(commandLine, L"-terminate")) {
        DeliverTerminate();
        return 0;
    }
    if (std::wcsstr(commandLine, L"-tray")) {
        startInTray = true;
    }
    // Never closed: the name exists exactly as long as this instance lives.
    CreateEventW(nullptr, FALSE, FALSE, L"Global\\WatchkeepRunning");
    UpdateAvailableEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    if (!InitInstance(instance)) {
        return 0;
    }
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
