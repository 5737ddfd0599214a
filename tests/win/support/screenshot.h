#pragma once

#include <windows.h>

#include <string>

#include "base/file_io.h"
#include "base/handles_win.h"
#include "win/support/watchkeep_process.h"

// Whether the window and every child have nothing left to paint.
inline bool Painted(HWND window) {
    BOOL painted = !GetUpdateRect(window, nullptr, FALSE);
    const auto child = [](HWND each, LPARAM all) {
        return *reinterpret_cast<BOOL*>(all) &= !GetUpdateRect(each, nullptr, FALSE);
    };
    EnumChildWindows(window, child, reinterpret_cast<LPARAM>(&painted));
    return painted;
}

// Writes the screen as a 24-bit <name>.bmp into build/<dir>/screenshots, once the given window (of any
// thread or process) and its children have painted their lower controls too. Its path, empty on failure.
inline std::wstring SaveScreenshot(const std::wstring& name, HWND paintFirst = nullptr) {
    if (paintFirst) {
        RedrawWindow(paintFirst, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        WaitUntil([paintFirst] { return Painted(paintFirst); });  // then the last WM_PAINT returns
        SendMessageTimeoutW(paintFirst, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr);
    }
    const LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER info{sizeof(info), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::string pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height, '\0');
    ScopedGetDC screen(nullptr);
    UniqueHdc memory(CreateCompatibleDC(screen.get()));
    UniqueHBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    int lines = 0;
    if (memory && bitmap) {
        {
            ScopedSelectObject select(memory.get(), bitmap.get());
            BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
        }
        lines = GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS);
    }
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
    const BITMAPFILEHEADER file{0x4D42, offset + static_cast<DWORD>(pixels.size()), 0, 0, offset};
    const std::wstring folder = BuildBinaryPath(L"..\\screenshots"), path = folder + L"\\" + name + L".bmp";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string bytes = std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
                              std::string(reinterpret_cast<const char*>(&info), sizeof(info)) + pixels;
    return lines == height && WriteFileBytes(path, bytes) ? path : std::wstring();
}
