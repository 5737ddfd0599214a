#include "app/startup_win.h"

#include <commctrl.h>
#include <sddl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/application_win.h"
#include "app/running_instance_win.h"
#include "app/tray_window_win.h"
#include "base/debug_trace.h"
#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "ui/widgets/dark_mode_win.h"

namespace {

// A marker for whoever looks for a running instance on the machine; the gate is the one below.
constexpr wchar_t kRunningEventName[] = L"Global\\WatchkeepRunning";
// A first instance still loading has no window yet; a second start waits this long for it.
constexpr DWORD kFirstWindowWaitMs = 10000;
constexpr DWORD kFindPollMs = 50;
// Ending saves settings and rules; a hung instance must not hang the process that asked.
constexpr UINT kTerminateSendTimeoutMs = 15000;
constexpr DWORD kTerminateExitWaitMs = 5000;

HWND WaitForRunningTray() {
    const ULONGLONG deadline = GetTickCount64() + kFirstWindowWaitMs;
    HWND tray = FindRunningTray();
    while (!tray && GetTickCount64() < deadline) {
        Sleep(kFindPollMs);
        tray = FindRunningTray();
    }
    return tray;
}

// One instance per user and session: "Local\" keeps the gate to this session and the user's SID
// in its name to this user, so another user's instance, or a name another user made, blocks nothing.
std::wstring InstanceGateName() {
    std::wstring name = L"Local\\WatchkeepRunning";
    UniqueHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        (GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size), size == 0)) {
        return name;
    }
    std::vector<BYTE> user(size);
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
        name += L"-";
        name += sid;
        LocalFree(sid);
    }
    return name;
}

void DeliverTerminate() {
    // Opened, never created: delivering the request does not make this process an instance.
    const UniqueHandle running(OpenEventW(SYNCHRONIZE, FALSE, InstanceGateName().c_str()));
    HWND tray = running ? WaitForRunningTray() : FindRunningTray();
    if (!tray) {
        return;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(tray, &processId);
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    DWORD_PTR result = 0;
    // Sent, not posted: this returns once the running instance has saved and destroyed its window.
    // An instance that answers nothing at all does not hold this process for the whole bound.
    if (SendMessageTimeoutW(tray, UWM_EXIT, 0, 0, SMTO_ABORTIFHUNG, kTerminateSendTimeoutMs, &result) && process) {
        WaitForSingleObject(process.get(), kTerminateExitWaitMs);
    }
}

}  // namespace

bool RegisterTrayWindowClass(HINSTANCE instance) {
    // The class keeps a pointer to its name: it lives as long as the process.
    static const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    WNDCLASSEXW windowClassInfo = {};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = CS_HREDRAW | CS_VREDRAW;
    windowClassInfo.lpfnWndProc = TrayWindowHandler::Procedure;
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
    InitDarkMode();
    RegisterTrayWindowClass(instance);

    const wchar_t* commandLine = GetCommandLineW();
    if (std::wcsstr(commandLine, L"-terminate")) {
        DeliverTerminate();
        return 0;
    }
    const bool startInTray = std::wcsstr(commandLine, L"-tray") != nullptr;
    // The named event is the gate: of two starts at the same moment only the one that created it
    // runs. Held until the application below has ended, so the name exists exactly as long as this
    // instance lives.
    const UniqueHandle gate(CreateEventW(nullptr, FALSE, FALSE, InstanceGateName().c_str()));
    if (gate && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND tray = WaitForRunningTray()) {
            RaiseRunningInstance(tray);
        }
        return 0;
    }
    // Held for the program's life like the gate; held already (another user's instance) it changes nothing.
    const UniqueHandle runningMarker(CreateEventW(nullptr, FALSE, FALSE, kRunningEventName));

    Application application(instance);
    if (!application.Start(startInTray)) {
        return 0;
    }
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (application.TakeDialogMessage(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
