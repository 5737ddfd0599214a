#include "app/dialog_threads_win.h"

#include "base/debug_trace.h"
#include "base/exception_barrier.h"
#include "ui/alert_log_dialog_win.h"
#include "ui/main_dialog_win.h"

namespace {

constexpr DWORD kEndWaitMs = 5000;
constexpr DWORD kEndPollMs = 50;

BOOL CALLBACK CloseThreadWindow(HWND window, LPARAM) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

DWORD WINAPI DialogThreads::MainDialogThread(LPVOID self) {
    DialogThreads& threads = *static_cast<DialogThreads*>(self);
    bool expected = false;
    if (!threads.mainDialogClaimed_.compare_exchange_strong(expected, true)) {
        if (HWND open = threads.context_.openWindow->load()) {
            SetForegroundWindow(open);
        }
        return 0;
    }
    DebugTrace(L"MainDialogThread");
    const DWORD result = Guarded(L"MainDialogThread", DWORD{1}, [&threads] {
        RunMainDialog(threads.context_);
        return DWORD{0};
    });
    threads.mainDialogClaimed_.store(false);
    return result;
}

DWORD WINAPI DialogThreads::AlertLogDialogThread(LPVOID self) {
    DebugTrace(L"AlertLogDialogThread");
    return Guarded(L"AlertLogDialogThread", DWORD{1}, [self] {
        const MainDialogContext& context = static_cast<DialogThreads*>(self)->context_;
        RunAlertLogDialog(*context.alertHistory, *context.settings, context.processHistory, context.rules);
        return DWORD{0};
    });
}

DialogThreads::~DialogThreads() {
    if (!EndAll(kEndWaitMs)) {
        DebugTrace(L"DialogThreads - A dialog thread did not end; ending the process");
        ExitProcess(0);
    }
}

void DialogThreads::OpenMainDialog() {
    Start(MainDialogThread);
}

void DialogThreads::OpenAlertLog() {
    Start(AlertLogDialogThread);
}

bool DialogThreads::Start(LPTHREAD_START_ROUTINE routine) {
    DWORD id = 0;
    UniqueHandle handle(CreateThread(nullptr, 0, routine, this, 0, &id));
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
