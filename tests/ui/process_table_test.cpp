#include <gtest/gtest.h>

#include "rules/threshold_rule.h"
#include "ui/process_table.h"

TEST(ProcessTable, CellsSortAndFilter) {
    const std::vector<ProcessSample> samples = {
        {.ProcessId = 8, .ExeName = L"Beta.exe", .CpuPercent = 2.5, .WorkingSetBytes = 3 * kBytesPerMB - 1},
        {.ProcessId = 12, .ExeName = L"alpha.exe", .WorkingSetBytes = 7 * kBytesPerMB, .ThreadCount = 3},
        {.ProcessId = 4, .ExeName = L"gamma.exe", .ThreadCount = 9, .Excluded = true},
        {.ProcessId = 16, .ExeName = L"ALPHABET.EXE", .WorkingSetBytes = 7 * kBytesPerMB, .ThreadCount = 5}};
    std::wstring row;
    for (int column = 0; column < kProcessColumnCount; ++column) row += ProcessCellText(samples[0], column) + L"|";
    EXPECT_EQ(row, L"Beta.exe|8|0|2|0|2|0|0|0|");
    EXPECT_EQ(ProcessCellText(samples[2], 3) + ProcessCellText(samples[2], 6), L"-9");
    ProcessOrder order;
    EXPECT_EQ(ProcessRows(samples, order, L""), (std::vector<size_t>{1, 3, 0, 2}));  // A to Z, case aside
    order.Click(3);  // working set: largest first, equal ones by identifier, excluded last
    EXPECT_EQ(ProcessRows(samples, order, L""), (std::vector<size_t>{1, 3, 0, 2}));
    order.Click(3);
    EXPECT_EQ(ProcessRows(samples, order, L""), (std::vector<size_t>{2, 0, 1, 3}));
    order.Click(6);  // an excluded process's thread count is measured
    EXPECT_EQ(ProcessRows(samples, order, L""), (std::vector<size_t>{2, 3, 1, 0}));
    order.Click(1);
    EXPECT_EQ(ProcessRows(samples, order, L"Alph"), (std::vector<size_t>{3, 1}));
    EXPECT_TRUE(ProcessRows(samples, order, L"delta").empty());
}
