#include "base/debug_trace.h"

#include <cstdarg>
#include <cwchar>
#include <mutex>
#include <vector>

#include "base/utf16.h"

#ifdef _WIN32
// Declared here rather than through <windows.h>, which the portable core never includes.
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringW(const wchar_t* text);
#endif

namespace {

// Never destroyed, so that an object with static storage can still trace from its destructor.
std::mutex& HookMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

DebugTraceHook& Hook() {
    static auto* hook = new DebugTraceHook;
    return *hook;
}

// At most 1022 characters, never ending in the first half of a UTF-16 pair, which would leave
// an unpaired surrogate in the debugger's output.
std::wstring CutTrace(std::wstring text) {
    if (text.size() > kDebugTraceMaxChars) {
        text.resize(IsHighSurrogate(static_cast<uint32_t>(text[kDebugTraceMaxChars - 1])) ? kDebugTraceMaxChars - 1
                                                                                           : kDebugTraceMaxChars);
    }
    return text;
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
            return CutTrace(std::wstring(buffer.data(), static_cast<size_t>(written)));
        }
        if (buffer.size() >= 65536) {
            // A format error or huge output: keep what the runtime left, cut like any other line.
            buffer.back() = L'\0';
            return CutTrace(buffer.data());
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
