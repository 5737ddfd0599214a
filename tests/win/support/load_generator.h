#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/handles_win.h"
#include "win/support/test_paths.h"

// A running tests/tools/loadgen_win.cpp child holding what `commands` ask for ("alloc 64 threads 40").
// Closing its stdin ends it, so it also ends with the process that started it.
class LoadGenerator {
public:
    explicit LoadGenerator(const std::wstring& commands) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        UniqueHandle childIn, ready(CreateEventW(&inherit, TRUE, FALSE, nullptr));
        if (!ready || !CreatePipe(childIn.put(), input_.put(), &inherit, 0)) {
            return;
        }
        SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
        process_ = StartProcess(L"\"" + BuildBinaryPath(L"loadgen_win.exe") + L"\" " + commands + L" ready " +
                                    std::to_wstring(reinterpret_cast<uintptr_t>(ready.get())),
                                childIn.get(), &processId_);
        const HANDLE readyOrEnded[] = {ready.get(), process_.get()};
        ready_ = process_ && WaitForMultipleObjects(2, readyOrEnded, FALSE, INFINITE) == WAIT_OBJECT_0;
    }
    ~LoadGenerator() {
        input_.reset();
        if (process_ && WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 1);
        }
    }
    LoadGenerator(const LoadGenerator&) = delete;
    LoadGenerator& operator=(const LoadGenerator&) = delete;
    bool Ready() const { return ready_; }
    DWORD ProcessId() const { return processId_; }
    bool Send(const char* line) const {
        DWORD written = 0;
        return WriteFile(input_.get(), line, static_cast<DWORD>(strlen(line)), &written, nullptr) != 0;
    }

private:
    UniqueHandle input_, process_;
    DWORD processId_ = 0;
    bool ready_ = false;
};
