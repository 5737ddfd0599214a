#pragma once

#include <functional>
#include <string_view>

inline constexpr size_t kDebugTraceMaxChars = 1022;

// The program's one diagnostic channel: printf-style wide formatting (use %ls for wide strings),
// cut to 1022 characters, handed to the debugger output. No prefix and no line end are added.
void DebugTrace(const wchar_t* format, ...);

// Process-wide observer of every trace line (tests assert trace texts through it).
// Pass an empty function to remove it.
using DebugTraceHook = std::function<void(std::wstring_view text)>;
void SetDebugTraceHook(DebugTraceHook hook);
