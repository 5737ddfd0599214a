#pragma once

#include <windows.h>

#include <utility>

// Move-only owners of Win32 handles. Each closes what it holds exactly once; copying is deleted.
template <typename Traits>
class UniqueWin {
public:
    using Handle = typename Traits::Handle;

    UniqueWin() = default;
    explicit UniqueWin(Handle handle) : handle_(handle) {}
    ~UniqueWin() { reset(); }
    UniqueWin(UniqueWin&& other) noexcept : handle_(other.release()) {}
    UniqueWin& operator=(UniqueWin&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueWin(const UniqueWin&) = delete;
    UniqueWin& operator=(const UniqueWin&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::IsValid(handle_); }
    Handle release() { return std::exchange(handle_, Traits::Empty()); }
    void reset(Handle handle = Traits::Empty()) {
        Handle old = std::exchange(handle_, handle);
        if (Traits::IsValid(old)) {
            Traits::Close(old);
        }
    }
    // For out-parameters of the API (RegOpenKeyExW and kin): closes what is held first.
    Handle* put() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Empty();
};

// Traits for a handle type whose only empty value is null, closed by one API call.
template <typename T, auto CloseFn>
struct NullHandleTraits {
    using Handle = T;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};

// Win32 reports a failed kernel handle with either value depending on the call.
struct KernelHandleTraits : NullHandleTraits<HANDLE, CloseHandle> {
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};

template <typename T, auto CloseFn>
using UniqueNullHandle = UniqueWin<NullHandleTraits<T, CloseFn>>;

using UniqueHandle = UniqueWin<KernelHandleTraits>;
using UniqueHKey = UniqueNullHandle<HKEY, RegCloseKey>;
using UniqueHMenu = UniqueNullHandle<HMENU, DestroyMenu>;
// Only icons the program created (LoadImageW without LR_SHARED, CreateIconIndirect).
using UniqueHIcon = UniqueNullHandle<HICON, DestroyIcon>;
using UniqueHBitmap = UniqueNullHandle<HBITMAP, DeleteObject>;
using UniqueHFont = UniqueNullHandle<HFONT, DeleteObject>;
using UniqueHBrush = UniqueNullHandle<HBRUSH, DeleteObject>;
using UniqueHPen = UniqueNullHandle<HPEN, DeleteObject>;
// Only DCs the program created (CreateCompatibleDC); GetDC goes through ScopedGetDC.
using UniqueHdc = UniqueNullHandle<HDC, DeleteDC>;
using UniqueHModule = UniqueNullHandle<HMODULE, FreeLibrary>;

// A device context from GetDC, released on scope exit.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDC() {
        if (dc_) {
            ReleaseDC(window_, dc_);
        }
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back on scope exit.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
