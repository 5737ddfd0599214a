#include "app/startup_win.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

#include "app/application_win.h"
#include "app/tray_window_win.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"

namespace {

void DeliverTerminate() {
    const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    const std::wstring windowTitle = LoadStringResource(IDS_APP_TITLE);
    if (HWND running = FindWindowW(windowClass.c_str(), windowTitle.c_str())) {
        // Sent, not posted: this returns only once the running instance has saved and ended.
        SendMessageW(running, UWM_EXIT, 0, 0);
    }
}

}  // namespace

bool RegisterTrayWindowClass(HINSTANCE instance) {
    appInstance = instance;
    // The class keeps a pointer to its name: it lives as long as the process.
    static const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    WNDCLASSEXW windowClassInfo = {};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = CS_HREDRAW | CS_VREDRAW;
    windowClassInfo.lpfnWndProc = TrayWindowProc;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WATCHKEEP));
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClassInfo.lpszMenuName = MAKEINTRESOURCEW(IDR_TRAY_MENU);
    windowClassInfo.lpszClassName = windowClass.c_str();
    windowClassInfo.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    return RegisterClassExW(&windowClassInfo) != 0;
}

int RunWatchkeep(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    RegisterTrayWindowClass(instance);

    const wchar_t* commandLine = GetCommandLineW();
    if (std::wcsstr(commandLine, L"-terminate")) {
        DeliverTerminate();
        return 0;
    }
    const bool startInTray = std::wcsstr(commandLine, L"-tray") != nullptr;
    // Never closed: the name exists exactly as long as this instance lives.
    CreateEventW(nullptr, FALSE, FALSE, L"Global\\WatchkeepRunning");

    Application application(instance);
    if (!application.Start(startInTray)) {
        return 0;
    }
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
