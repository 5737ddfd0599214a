#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/exception_barrier.h"

// A window subclass behind the barrier, for SetWindowSubclass and RemoveWindowSubclass alike.
template <SUBCLASSPROC Proc>
LRESULT CALLBACK GuardedSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data) {
    return Guarded(L"GuardedSubclass", LRESULT{0}, [&] { return Proc(window, message, wParam, lParam, id, data); });
}
