#include "base/exception_barrier.h"

#include "base/debug_trace.h"

void TraceStoppedException(const wchar_t* where, const char* what) noexcept {
    // Widened byte by byte into a fixed buffer: memory may be what ran out.
    wchar_t text[256] = {};
    size_t length = 0;
    for (; what && what[length] && length + 1 < sizeof text / sizeof text[0]; ++length) {
        text[length] = static_cast<wchar_t>(static_cast<unsigned char>(what[length]));
    }
    DebugTrace(L"%ls - Stopped an exception: %ls", where, what ? text : L"(not a standard exception)");
}
