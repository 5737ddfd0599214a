#pragma once

#include <windows.h>

#include <string>

#include "base/win_handles.h"

// Programs of the build live beside the test program (build/<preset>/bin).
inline std::wstring BuildBinaryPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + fileName;
}

// Starts a program of the build with the given arguments; no handle when it did not start.
inline UniqueHandle StartProgram(const wchar_t* fileName, const std::wstring& arguments) {
    const std::wstring exe = BuildBinaryPath(fileName);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}
