#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/file_io.h"
#include "base/win_handles.h"
#include "win/support/test_paths.h"

// Writes a screen rectangle (the whole screen by default) as a 24-bit <name>.bmp into
// build/<dir>/screenshots. Returns the file's path, empty on failure.
inline std::wstring SaveScreenshot(const std::wstring& name, RECT area = {}) {
    if (area.right <= area.left || area.bottom <= area.top) {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = area.right - area.left;
    info.biHeight = area.bottom - area.top;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string pixels(static_cast<size_t>((info.biWidth * 3 + 3) & ~3) * info.biHeight, '\0');
    ScopedGetDC screen(nullptr);
    UniqueHdc memory(CreateCompatibleDC(screen.get()));
    UniqueHBitmap bitmap(CreateCompatibleBitmap(screen.get(), info.biWidth, info.biHeight));
    int lines = 0;
    if (memory && bitmap) {
        {
            ScopedSelectObject select(memory.get(), bitmap.get());
            BitBlt(memory.get(), 0, 0, info.biWidth, info.biHeight, screen.get(), area.left, area.top, SRCCOPY);
        }
        lines = GetDIBits(memory.get(), bitmap.get(), 0, info.biHeight, pixels.data(),
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    }
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    const std::wstring folder = BuildBinaryPath(L"..\\screenshots");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name + L".bmp";
    const std::string bytes = std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
                              std::string(reinterpret_cast<const char*>(&info), sizeof(info)) + pixels;
    return lines == info.biHeight && WriteFileBytes(path, bytes) ? path : std::wstring();
}

// Counts the pixels of a screen rectangle that are close to the given colour.
inline int CountScreenPixels(RECT area, COLORREF colour, int tolerance = 40) {
    ScopedGetDC screen(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(screen.get(), x, y);
            count += pixel != CLR_INVALID && std::abs(GetRValue(pixel) - GetRValue(colour)) <= tolerance &&
                     std::abs(GetGValue(pixel) - GetGValue(colour)) <= tolerance &&
                     std::abs(GetBValue(pixel) - GetBValue(colour)) <= tolerance;
        }
    }
    return count;
}
