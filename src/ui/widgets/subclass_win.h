#pragma once

#include <windows.h>

#include <memory>

// The one shape of a window subclass: a handler object owned by the subclass, one member per
// message it handles, deleted when the window is destroyed (WM_NCDESTROY).
class SubclassHandler {
public:
    virtual ~SubclassHandler() = default;
    // True when handled, with the result in result; otherwise the message goes on down the chain.
    virtual bool OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
};

// Hands the handler to the window under id: ids tell several subclasses of one window apart, and
// each is installed once. False when the window refuses it; the handler is then deleted.
bool InstallSubclass(HWND window, UINT_PTR id, std::unique_ptr<SubclassHandler> handler);
