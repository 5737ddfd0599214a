#pragma once

#include <windows.h>

#include <string>

#include "app/win_handles.h"
#include "win/support/test_paths.h"

// A running tests/tools/loadgen_win.cpp child, driven through its stdin and stdout pipes.
// Ends the child when it goes out of scope.
class LoadGenerator {
public:
    // Starts the child with command-line commands and waits until it has carried them out.
    explicit LoadGenerator(const std::wstring& commands) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, input_.put(), &inherit, 0) || !CreatePipe(output_.put(), &childOut, &inherit, 0)) {
            return;
        }
        UniqueHandle childInOwner(childIn), childOutOwner(childOut);
        SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = childOut;
        std::wstring commandLine = L"\"" + BuildBinaryPath(L"loadgen_win.exe") + L"\" " + commands;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            return;
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        processId_ = info.dwProcessId;
        ready_ = WaitReady();
    }

    ~LoadGenerator() {
        input_.reset();  // end of stdin ends the child
        if (process_ && WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 1);
        }
    }
    LoadGenerator(const LoadGenerator&) = delete;
    LoadGenerator& operator=(const LoadGenerator&) = delete;

    bool Ready() const { return ready_; }
    DWORD ProcessId() const { return processId_; }

    // Sends one command line and waits until the child has carried it out.
    bool Command(const std::string& line) {
        const std::string text = line + "\n";
        DWORD written = 0;
        return WriteFile(input_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size() && WaitReady();
    }

private:
    bool WaitReady() {
        std::string line;
        char c = 0;
        DWORD read = 0;
        while (ReadFile(output_.get(), &c, 1, &read, nullptr) && read == 1) {
            if (c == '\n') {
                if (line == "ready") return true;
                line.clear();
            } else if (c != '\r') {
                line += c;
            }
        }
        return false;
    }

    UniqueHandle input_, output_, process_;
    DWORD processId_ = 0;
    bool ready_ = false;
};
