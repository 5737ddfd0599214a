#pragma once

#include <exception>

// "<where> - Stopped an exception: <what>", formatted without allocating (what may be null).
void TraceStoppedException(const wchar_t* where, const char* what) noexcept;

// Runs the body of a window procedure, dialog procedure or thread entry. An exception must not
// leave one (the system cannot unwind through its own frames): it becomes a trace line naming
// where it was stopped, and the body's result is the given failed one.
template <class Result, class Body>
Result Guarded(const wchar_t* where, Result failed, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& error) {
        TraceStoppedException(where, error.what());
    } catch (...) {
        TraceStoppedException(where, nullptr);
    }
    return failed;
}
