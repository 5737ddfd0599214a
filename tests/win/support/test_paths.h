#pragma once

#include <windows.h>

#include <string>

// Programs of the build live beside the test program (build/<preset>/bin).
inline std::wstring BuildBinaryPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + fileName;
}
