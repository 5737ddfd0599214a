#include <gtest/gtest.h>

#include <string>

#include "support/trace_capture.h"

TEST(DebugTrace, FormatsWideArgumentsWithoutAddingAnything) {
    TraceCapture capture;
    const std::wstring path = L"C:\\Users\\\u00e9\\rules.csv";
    DebugTrace(L"RuleStore::Load - Loaded %u rules from %ls", 3u, path.c_str());
    DebugTrace(L"%.1f|%d|%ls\n", 1.04, -7, L"x");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"RuleStore::Load - Loaded 3 rules from " + path);
    EXPECT_EQ(lines[1], L"1.0|-7|x\n");
}

TEST(DebugTrace, CutsLongOutputAt1022Characters) {
    TraceCapture capture;
    const std::wstring exact(1022, L'a');
    const std::wstring longer(1500, L'b');
    DebugTrace(L"%ls", exact.c_str());
    DebugTrace(L"%ls", longer.c_str());
    DebugTrace(L"12%ls", std::wstring(1021, L'c').c_str());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], exact);
    EXPECT_EQ(lines[1], std::wstring(1022, L'b'));
    EXPECT_EQ(lines[2], L"12" + std::wstring(1020, L'c'));
}

TEST(DebugTrace, HookCanBeRemoved) {
    std::wstring seen;
    SetDebugTraceHook([&seen](std::wstring_view text) { seen = text; });
    DebugTrace(L"first");
    SetDebugTraceHook({});
    DebugTrace(L"second");
    EXPECT_EQ(seen, L"first");
}
