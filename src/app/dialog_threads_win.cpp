#include "app/dialog_threads_win.h"

#include <atomic>

#include "base/debug_trace.h"
#include "base/exception_barrier.h"
#include "ui/alert_log_dialog_win.h"
#include "ui/main_dialog_win.h"

namespace {

constexpr DWORD kEndWaitMs = 5000;
constexpr DWORD kEndPollMs = 50;

// Claimed from the moment a thread decides to open the main dialog until the dialog has ended:
// two requests in quick succession (before the first dialog has published its window) must not
// open two dialogs.
std::atomic<bool> mainDialogClaimed{false};

DWORD WINAPI MainDialogThread(LPVOID context) {
    bool expected = false;
    if (!mainDialogClaimed.compare_exchange_strong(expected, true)) {
        if (HWND open = mainDialogWindow.load()) {
            SetForegroundWindow(open);
        }
        return 0;
    }
    DebugTrace(L"MainDialogThread");
    const DWORD result = Guarded(L"MainDialogThread", DWORD{1}, [context] {
        RunMainDialog(*static_cast<const MainDialogContext*>(context));
        return DWORD{0};
    });
    mainDialogClaimed.store(false);
    return result;
}

DWORD WINAPI AlertLogDialogThread(LPVOID parameter) {
    DebugTrace(L"AlertLogDialogThread");
    return Guarded(L"AlertLogDialogThread", DWORD{1}, [parameter] {
        const auto* context = static_cast<const MainDialogContext*>(parameter);
        RunAlertLogDialog(context ? context->processHistory : nullptr, context ? context->rules : nullptr);
        return DWORD{0};
    });
}

BOOL CALLBACK CloseThreadWindow(HWND window, LPARAM) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

DialogThreads::~DialogThreads() {
    if (!EndAll(kEndWaitMs)) {
        DebugTrace(L"DialogThreads - A dialog thread did not end; ending the process");
        ExitProcess(0);
    }
}

void DialogThreads::OpenMainDialog(const MainDialogContext* context) {
    Start(MainDialogThread, const_cast<MainDialogContext*>(context));
}

void DialogThreads::OpenAlertLog(const MainDialogContext* context) {
    Start(AlertLogDialogThread, const_cast<MainDialogContext*>(context));
}

bool DialogThreads::Start(LPTHREAD_START_ROUTINE routine, void* parameter) {
    DWORD id = 0;
    UniqueHandle handle(CreateThread(nullptr, 0, routine, parameter, 0, &id));
    if (!handle) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(threads_,
                  [](const Thread& thread) { return WaitForSingleObject(thread.handle.get(), 0) == WAIT_OBJECT_0; });
    threads_.push_back({std::move(handle), id});
    return true;
}

bool DialogThreads::EndAll(DWORD timeoutMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::erase_if(threads_, [](const Thread& thread) {
            return WaitForSingleObject(thread.handle.get(), 0) == WAIT_OBJECT_0;
        });
        if (threads_.empty()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        // Asked again on every round: a dialog may open a message box that must be closed first.
        for (const Thread& thread : threads_) {
            EnumThreadWindows(thread.id, CloseThreadWindow, 0);
        }
        WaitForSingleObject(threads_.front().handle.get(), kEndPollMs);
    }
}
