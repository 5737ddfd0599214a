#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What a line chart shows: values over Unix times, dashed limit lines and marker times.
struct ChartData {
    std::wstring Title{};
    bool Bytes = false;
    std::vector<double> Times{};
    std::vector<double> Values{};
    std::vector<double> Limits{};
    std::vector<double> Markers{};
    int UtcOffsetSeconds = 0;
};

// A child window that draws its ChartData double-buffered, so that resizing does not flicker, in
// the dark colours when the program runs dark.
HWND CreateLineChart(HWND parent, int id);
void SetLineChartData(HWND chart, ChartData data);
// The drawing itself, into any device context; with the mouse at hoverX, the nearest point's time
// and value.
void DrawLineChart(HDC dc, const RECT& rect, const ChartData& data, int hoverX = -1);
