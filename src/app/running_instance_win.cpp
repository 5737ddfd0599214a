#include "app/running_instance_win.h"

#include <string>

#include "base/debug_trace.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"

namespace {

constexpr UINT kRaiseTimeoutMs = 5000;

}  // namespace

HWND FindRunningTray() {
    const std::wstring windowClass = LoadStringResource(IDC_WATCHKEEP);
    const std::wstring windowTitle = LoadStringResource(IDS_APP_TITLE);
    return FindWindowW(windowClass.c_str(), windowTitle.c_str());
}

void RaiseRunningInstance(HWND runningTray) {
    DebugTrace(L"Existing instance found, invoking settings dialog");
    SendMessageTimeoutW(runningTray, UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP, SMTO_NORMAL, kRaiseTimeoutMs, nullptr);
}
