#include "app/dialog_threads_win.h"

#include "app/debug_trace.h"
#include "app/win_handles.h"
#include "ui/alert_log_dialog_win.h"
#include "ui/main_dialog_win.h"

std::atomic<HWND> mainDialogWindow{nullptr};

namespace {

// Claimed from the moment a thread decides to open the main dialog until the dialog has ended:
// two requests in quick succession (before the first dialog has published its window) must not
// open two dialogs.
std::atomic<bool> mainDialogClaimed{false};

}  // namespace

DWORD WINAPI MainDialogThread(LPVOID) {
    bool expected = false;
    if (!mainDialogClaimed.compare_exchange_strong(expected, true)) {
        if (HWND open = mainDialogWindow.load()) {
            SetForegroundWindow(open);
        }
        return 0;
    }
    DebugTrace(L"MainDialogThread");
    RunMainDialog();
    mainDialogClaimed.store(false);
    return 0;
}

DWORD WINAPI AlertLogDialogThread(LPVOID) {
    DebugTrace(L"AlertLogDialogThread");
    RunAlertLogDialog();
    return 0;
}

bool StartDetachedThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    UniqueHandle thread(CreateThread(nullptr, 0, routine, parameter, 0, nullptr));
    return static_cast<bool>(thread);
}
