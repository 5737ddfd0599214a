#include "ui/widgets/subclass_win.h"

#include <commctrl.h>

#include "base/exception_barrier_win.h"

namespace {

LRESULT CALLBACK HandlerSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data) {
    auto* handler = reinterpret_cast<SubclassHandler*>(data);
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        // Owned from here on, so the handler is gone whatever the rest of the chain does.
        const std::unique_ptr<SubclassHandler> owned(handler);
        RemoveWindowSubclass(window, GuardedSubclass<HandlerSubclass>, id);
        return owned->OnMessage(window, message, wParam, lParam, result)
                   ? result
                   : DefSubclassProc(window, message, wParam, lParam);
    }
    return handler->OnMessage(window, message, wParam, lParam, result)
               ? result
               : DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool InstallSubclass(HWND window, UINT_PTR id, std::unique_ptr<SubclassHandler> handler) {
    if (!SetWindowSubclass(window, GuardedSubclass<HandlerSubclass>, id, reinterpret_cast<DWORD_PTR>(handler.get()))) {
        return false;
    }
    handler.release();
    return true;
}
