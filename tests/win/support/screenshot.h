#pragma once

#include <windows.h>

#include <string>

#include "app/file_io.h"
#include "app/win_handles.h"
#include "win/support/test_paths.h"

// The folder tests write screenshots to: build/<dir>/screenshots, beside bin.
inline std::wstring ScreenshotFolder() {
    std::wstring folder = BuildBinaryPath(L"..\\screenshots");
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Captures a screen rectangle (the whole screen by default) with GDI and writes it as a 24-bit
// BMP named <name>.bmp into the screenshot folder. Returns the file's path, empty on failure.
inline std::wstring SaveScreenshot(const std::wstring& name, RECT area = {}) {
    if (area.right <= area.left || area.bottom <= area.top) {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    ScopedGetDC screen(nullptr);
    HDC memory = CreateCompatibleDC(screen.get());
    UniqueWin<GdiObjectTraits<HBITMAP>> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!memory || !bitmap) {
        if (memory) DeleteDC(memory);
        return {};
    }
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    {
        ScopedSelectObject select(memory, bitmap.get());
        BitBlt(memory, 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    }
    const int lines = GetDIBits(memory, bitmap.get(), 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
    DeleteDC(memory);
    if (lines != height) {
        return {};
    }
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes += pixels;
    const std::wstring path = ScreenshotFolder() + L"\\" + name + L".bmp";
    return WriteFileBytes(path, bytes) ? path : std::wstring();
}

// Counts the pixels of a screen rectangle that are close to the given colour.
inline int CountScreenPixels(RECT area, COLORREF colour, int tolerance = 40) {
    ScopedGetDC screen(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(screen.get(), x, y);
            if (pixel != CLR_INVALID && abs(GetRValue(pixel) - GetRValue(colour)) <= tolerance &&
                abs(GetGValue(pixel) - GetGValue(colour)) <= tolerance &&
                abs(GetBValue(pixel) - GetBValue(colour)) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}
