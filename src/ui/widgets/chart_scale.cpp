#include "ui/widgets/chart_scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The smallest step of 1, 2 or 5 times a power of ten that covers `span` in `maxTicks` steps.
double RoundStep(double span, size_t maxTicks) {
    const double rough = span / static_cast<double>(std::max<size_t>(maxTicks, 1));
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough * (1.0 - 1e-12)) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

std::wstring Number(double value) {
    char buffer[64];
    // Steps are round: two decimals show every tick exactly; trailing zeros go.
    auto end = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2).ptr;
    while (end[-1] == '0') {
        --end;
    }
    if (end[-1] == '.') {
        --end;
    }
    return std::wstring(buffer, end);
}

}  // namespace

ValueScale ChooseValueScale(double maxValue, bool bytes, size_t maxTicks) {
    static constexpr const wchar_t* kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB"};
    ValueScale scale;
    if (bytes) {
        scale.UnitName = kUnits[0];
        for (size_t i = 1; i < std::size(kUnits) && maxValue >= scale.Unit * 1024.0; ++i) {
            scale.Unit *= 1024.0;
            scale.UnitName = kUnits[i];
        }
    }
    // A flat zero line still gets a scale of 0 to 1; bytes have no fractions.
    const double max = maxValue <= 0.0 ? 1.0 : std::max(maxValue / scale.Unit, bytes ? 1.0 : 0.0);
    const double step = std::max(RoundStep(max, maxTicks), bytes ? 1.0 : 0.0);
    scale.Step = step * scale.Unit;
    const double steps = std::max(1.0, std::ceil(max / step - 1e-9));
    scale.Top = steps * scale.Step;
    for (double i = 0; i <= steps; ++i) {
        scale.Ticks.push_back(i * scale.Step);
    }
    return scale;
}

std::wstring ValueTickText(const ValueScale& scale, double value) {
    const std::wstring number = Number(value / scale.Unit);
    return *scale.UnitName == L'\0' || value == 0.0 ? number : number + L" " + scale.UnitName;
}

std::vector<double> ChooseTimeTicks(double start, double end, int utcOffsetSeconds, size_t maxTicks) {
    static constexpr double kSteps[] = {60,   120,  300,   600,   900,   1800,
                                        3600, 7200, 10800, 21600, 43200, 86400};
    double step = kSteps[std::size(kSteps) - 1];
    for (const double candidate : kSteps) {
        if ((end - start) / candidate <= static_cast<double>(maxTicks)) {
            step = candidate;
            break;
        }
    }
    std::vector<double> ticks;
    const double offset = utcOffsetSeconds;
    for (double tick = std::ceil((start + offset) / step) * step - offset; tick <= end; tick += step) {
        ticks.push_back(tick);
    }
    return ticks;
}

std::wstring TimeTickText(double time, int utcOffsetSeconds) {
    const auto seconds = static_cast<long long>(std::floor(time)) + utcOffsetSeconds;
    const long long ofDay = ((seconds % 86400) + 86400) % 86400;
    wchar_t text[8] = {static_cast<wchar_t>(L'0' + ofDay / 36000), static_cast<wchar_t>(L'0' + ofDay / 3600 % 10),
                       L':', static_cast<wchar_t>(L'0' + ofDay % 3600 / 600),
                       static_cast<wchar_t>(L'0' + ofDay % 600 / 60)};
    return text;
}

std::vector<size_t> ThinPoints(const std::vector<double>& values, size_t columns) {
    std::vector<size_t> kept;
    if (values.size() <= 2 * columns || columns == 0) {
        for (size_t i = 0; i < values.size(); ++i) {
            kept.push_back(i);
        }
        return kept;
    }
    for (size_t column = 0; column < columns; ++column) {
        const auto first = values.begin() + static_cast<std::ptrdiff_t>(column * values.size() / columns);
        const auto last = values.begin() + static_cast<std::ptrdiff_t>((column + 1) * values.size() / columns);
        const auto [low, high] = std::minmax_element(first, last);
        kept.push_back(static_cast<size_t>(std::min(low, high) - values.begin()));
        if (low != high) {
            kept.push_back(static_cast<size_t>(std::max(low, high) - values.begin()));
        }
    }
    return kept;
}
