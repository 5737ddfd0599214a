#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

#include "base/win_handles.h"
#include "ui/main_dialog_win.h"

// The threads that carry the dialogs. Each runs one modal dialog with no owner. The owner of this
// object ends them all before the state they touch goes away.
class DialogThreads {
public:
    DialogThreads() = default;
    // Ends every thread still running (EndAll); ends the process when one will not end, since it
    // would go on using what is destroyed after this.
    ~DialogThreads();
    DialogThreads(const DialogThreads&) = delete;
    DialogThreads& operator=(const DialogThreads&) = delete;

    // Opens the main dialog on a thread of its own, or raises the one that is open. The context
    // outlives every dialog thread.
    void OpenMainDialog(const MainDialogContext* context);
    // Every request opens another alert log window; with a context, its rows open history windows.
    void OpenAlertLog(const MainDialogContext* context = nullptr);

    // Closes every window of the running dialog threads and waits for the threads to end, at most
    // timeoutMs; true when none is left.
    bool EndAll(DWORD timeoutMs);

private:
    struct Thread {
        UniqueHandle handle;
        DWORD id = 0;
    };
    bool Start(LPTHREAD_START_ROUTINE routine, void* parameter);

    std::mutex mutex_;
    std::vector<Thread> threads_;
};
