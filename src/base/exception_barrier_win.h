#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/exception_barrier.h"

// A thread entry behind the exception barrier, for CreateThread(..., GuardedThread<Entry>, ...):
// an exception the entry lets out ends the thread with exit code 1 and a trace line.
template <LPTHREAD_START_ROUTINE Entry>
DWORD WINAPI GuardedThread(LPVOID parameter) {
    return Guarded(L"GuardedThread", DWORD{1}, [parameter] { return Entry(parameter); });
}

// A window subclass behind the barrier, for SetWindowSubclass and RemoveWindowSubclass alike.
template <SUBCLASSPROC Proc>
LRESULT CALLBACK GuardedSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data) {
    return Guarded(L"GuardedSubclass", LRESULT{0}, [&] { return Proc(window, message, wParam, lParam, id, data); });
}
