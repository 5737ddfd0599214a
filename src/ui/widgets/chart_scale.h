#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The scales of a line chart and the points it draws. Locale-free, the same on both builds.

// Value ticks from 0 to Top in equal round steps: 1, 2 or 5 times a power of ten, of the value
// itself or, for bytes, of the largest of B, KB, MB, GB and TB (1024 apart) that the maximum reaches.
struct ValueScale {
    double Top = 1.0;
    double Step = 1.0;
    double Unit = 1.0;
    const wchar_t* UnitName = L"";
    std::vector<double> Ticks;
};
ValueScale ChooseValueScale(double maxValue, bool bytes, size_t maxTicks = 6);
// A tick's text in the scale's unit: "0", "1.5 GB", "250".
std::wstring ValueTickText(const ValueScale& scale, double value);

// Time ticks (Unix seconds) inside [start, end] at whole minutes or hours of local time, which is
// `utcOffsetSeconds` ahead of UTC, the step the smallest of 1, 2, 5, 10, 15, 30 minutes and 1, 2,
// 3, 6, 12, 24 hours that gives at most maxTicks.
std::vector<double> ChooseTimeTicks(double start, double end, int utcOffsetSeconds, size_t maxTicks = 8);
// "HH:MM" of local time.
std::wstring TimeTickText(double time, int utcOffsetSeconds);

// The indexes of the points to draw across `columns` pixels: all of them when they fit, otherwise
// per column the lowest and the highest in their order, so that no peak is lost.
std::vector<size_t> ThinPoints(const std::vector<double>& values, size_t columns);
