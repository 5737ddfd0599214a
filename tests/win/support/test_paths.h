#pragma once

#include <windows.h>

#include <string>

#include "base/handles_win.h"

// Programs of the build live beside the test program (build/<preset>/bin).
inline std::wstring BuildBinaryPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + fileName;
}

// Starts a command line; a given input handle becomes the child's stdin, and inheritable handles
// are passed on with it. No handle when it did not start.
inline UniqueHandle StartProcess(std::wstring commandLine, HANDLE input = nullptr, DWORD* processId = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = input ? STARTF_USESTDHANDLES : 0;
    startup.hStdInput = input;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, input != nullptr, 0, nullptr, nullptr, &startup,
                        &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    if (processId) {
        *processId = info.dwProcessId;
    }
    return UniqueHandle(info.hProcess);
}

// Starts a program of the build with the given arguments.
inline UniqueHandle StartProgram(const wchar_t* fileName, const std::wstring& arguments) {
    return StartProcess(L"\"" + BuildBinaryPath(fileName) + L"\" " + arguments);
}
