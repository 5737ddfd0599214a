#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ui/widgets/chart_scale.h"

TEST(ChartScale, ValueTicksAreRoundFromZeroToOneUpToATerabyte) {
    const auto texts = [](double max, bool bytes) {
        const ValueScale scale = ChooseValueScale(max, bytes);
        std::wstring text;
        for (double tick : scale.Ticks) text += ValueTickText(scale, tick) + L"|";
        EXPECT_GE(scale.Top, max);
        EXPECT_LE(scale.Ticks.size(), 7u);
        return text;
    };
    EXPECT_EQ(texts(1, false), L"0|0.2|0.4|0.6|0.8|1|");
    EXPECT_EQ(texts(0, false), L"0|0.2|0.4|0.6|0.8|1|");
    EXPECT_EQ(texts(37, false), L"0|10|20|30|40|");
    EXPECT_EQ(texts(99.5, false), L"0|20|40|60|80|100|");
    EXPECT_EQ(texts(1, true), L"0|1 B|");
    EXPECT_EQ(texts(3105.0 * 1048576, true), L"0|1 GB|2 GB|3 GB|4 GB|");
    EXPECT_EQ(texts(700.0 * 1048576, true), L"0|200 MB|400 MB|600 MB|800 MB|");
    EXPECT_EQ(texts(std::ldexp(1.0, 40), true), L"0|1 TB|");
    for (int power = 0; power <= 40; ++power) {  // every range: round steps, top covers the maximum
        const ValueScale scale = ChooseValueScale(std::ldexp(1.5, power), true);
        const double mantissa = scale.Step / scale.Unit / std::pow(10.0, std::floor(std::log10(scale.Step / scale.Unit)));
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << power;
        EXPECT_TRUE(scale.Top >= std::ldexp(1.5, power) && scale.Ticks.size() <= 7) << power;
    }
}

TEST(ChartScale, TimeTicksFallOnWholeLocalMinutesOrHours) {
    const double start = 1717243200 + 95;  // 12:01:35 UTC
    EXPECT_EQ(ChooseTimeTicks(start, start + 600, 0), (std::vector<double>{start + 25, start + 145, start + 265, start + 385, start + 505}));
    const std::vector<double> hours = ChooseTimeTicks(start, start + 6 * 3600, 2 * 3600 + 1800);
    EXPECT_EQ(hours.size(), 6u);
    EXPECT_EQ(TimeTickText(hours[0], 2 * 3600 + 1800), L"15:00");
    EXPECT_EQ(TimeTickText(start, -3600), L"11:01");
}

TEST(ChartScale, ThinningKeepsEveryPeakAndItsOrder) {
    std::vector<double> values(720, 10.0);
    values[333] = 500.0;  // one pass's spike
    values[334] = -5.0;
    const std::vector<size_t> kept = ThinPoints(values, 100);
    EXPECT_LE(kept.size(), 200u);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    EXPECT_NE(std::find(kept.begin(), kept.end(), 333u), kept.end());
    EXPECT_NE(std::find(kept.begin(), kept.end(), 334u), kept.end());
    EXPECT_EQ(ThinPoints(values, 360).size(), 720u);
}
