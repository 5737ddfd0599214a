#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "base/handles_win.h"
#include "ui/main_dialog_win.h"

// The threads that carry the dialogs, on the context they are given, which outlives this object.
// Each runs one modal dialog with no owner. The owner of this object ends them all before the
// state they touch goes away.
class DialogThreads {
public:
    explicit DialogThreads(const MainDialogContext& context) : context_(context) {}
    // Ends every thread still running (EndAll); ends the process when one will not end, since it
    // would go on using what is destroyed after this.
    ~DialogThreads();
    DialogThreads(const DialogThreads&) = delete;
    DialogThreads& operator=(const DialogThreads&) = delete;

    // Opens the main dialog on a thread of its own, or raises the one that is open.
    void OpenMainDialog();
    // Every request opens another alert log window, whose rows open history windows.
    void OpenAlertLog();

    // Closes every window of the running dialog threads and waits for the threads to end, at most
    // timeoutMs; true when none is left.
    bool EndAll(DWORD timeoutMs);

private:
    struct Thread {
        UniqueHandle handle;
        DWORD id = 0;
    };
    static DWORD WINAPI MainDialogThread(LPVOID self);
    static DWORD WINAPI AlertLogDialogThread(LPVOID self);
    bool Start(LPTHREAD_START_ROUTINE routine);

    const MainDialogContext& context_;
    // Claimed from the moment a thread decides to open the main dialog until the dialog has ended:
    // two requests in quick succession (before the first dialog has published its window) must not
    // open two dialogs.
    std::atomic<bool> mainDialogClaimed_{false};
    std::mutex mutex_;
    std::vector<Thread> threads_;
};
