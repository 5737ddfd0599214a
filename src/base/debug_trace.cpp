#include "base/debug_trace.h"

#include <cstdarg>
#include <cwchar>
#include <mutex>
#include <vector>

#ifdef _WIN32
// Declared here rather than through <windows.h>, which the portable core never includes.
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringW(const wchar_t* text);
#endif

namespace {

// Never destroyed: objects with static storage (the engine) still trace from their destructors.
std::mutex& HookMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

DebugTraceHook& Hook() {
    static auto* hook = new DebugTraceHook;
    return *hook;
}

// Formats into a buffer that grows until the text fits, then cuts it: the C runtimes disagree
// on what vswprintf leaves behind when the buffer is too small.
std::wstring FormatTrace(const wchar_t* format, va_list args) {
    std::vector<wchar_t> buffer(1024);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) {
            const size_t length = static_cast<size_t>(written) < kDebugTraceMaxChars ? written : kDebugTraceMaxChars;
            return std::wstring(buffer.data(), length);
        }
        if (buffer.size() >= 65536) {
            // A format error or huge output: keep what the runtime left, cut like any other line.
            buffer.back() = L'\0';
            std::wstring text(buffer.data());
            if (text.size() > kDebugTraceMaxChars) {
                text.resize(kDebugTraceMaxChars);
            }
            return text;
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

}  // namespace

void DebugTrace(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatTrace(format, args);
    va_end(args);

#ifdef _WIN32
    OutputDebugStringW(text.c_str());
#endif
    std::lock_guard<std::mutex> lock(HookMutex());
    if (Hook()) {
        Hook()(text);
    }
}

void SetDebugTraceHook(DebugTraceHook hook) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Hook() = std::move(hook);
}
