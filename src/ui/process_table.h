#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/process_sample.h"

// What the processes page shows of a pass, and in which order. Locale-free, the same on both builds.

// Process, PID, then the seven counters in the rules list's order.
inline constexpr int kProcessColumnCount = 9;

// A cell in the rules list's texts and units: counts as they are, memory in whole MB, CPU "%.0f".
// An excluded process shows its thread count and "-" for what was not measured.
std::wstring ProcessCellText(const ProcessSample& sample, int column);

// The sort of the page: numbers largest first and names A to Z until the column is clicked again.
struct ProcessOrder {
    int Column = 0;
    bool Reversed = false;
    // A click on a header: the same column reverses, another starts in its first direction.
    void Click(int column);
};

// The indexes of the samples whose name holds `filter` (case-insensitive; empty holds all), sorted;
// equal values keep the identifiers' order so rows do not swap between refreshes.
std::vector<size_t> ProcessRows(const std::vector<ProcessSample>& samples, const ProcessOrder& order,
                                std::wstring_view filter);
