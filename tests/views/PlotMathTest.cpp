// Axis ticks and labels, plot ranges and sample ranges.

#include "views/PlotMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct ExpectedTick
{
    double value;
    int position;
    const char* label;
};

void expectTicks(const std::vector<AxisTick>& ticks, const std::vector<ExpectedTick>& expected,
                 const char* what)
{
    ASSERT_EQ(ticks.size(), expected.size()) << what;
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(ticks[k].value, expected[k].value, 1e-12) << what << " tick " << k;
        EXPECT_EQ(ticks[k].position, expected[k].position) << what << " tick " << k;
        EXPECT_EQ(ticks[k].label.toStdString(), expected[k].label) << what << " tick " << k;
    }
}

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(AxisTicks, ValueAxisCases)
{
    // y from -1 to 1 on the 115-pixel plot area of a 300 x 180 plot: step 1 halved.
    expectTicks(valueAxisTicks(-1, 1, 115, 15),
                {{1, 15, "1.00"}, {0.5, 43, "0.50"}, {0, 72, "0"}, {-0.5, 101, "-0.50"},
                 {-1, 130, "-1.00"}},
                "-1 ... 1");
    // Range 73.3: step 10, not halved; every tick labelled with one decimal.
    const auto ticks = valueAxisTicks(-93.4, -20.1, 115, 15);
    const char* labels[] = {"-30.0", "-40.0", "-50.0", "-60.0", "-70.0", "-80.0", "-90.0"};
    ASSERT_EQ(ticks.size(), 7u);
    for (size_t k = 0; k < 7; ++k) {
        EXPECT_DOUBLE_EQ(ticks[k].value, -30.0 - 10.0 * k);
        EXPECT_EQ(ticks[k].label.toStdString(), labels[k]);
        EXPECT_EQ(ticks[k].position,
                  static_cast<int>((-20.1 - ticks[k].value) / 73.3 * 115 + 15));
    }
    // Range 10: step 5; range 25: step 10; range 9: step 1.
    EXPECT_EQ(valueAxisTicks(0, 10, 100, 0).size(), 3u);
    EXPECT_EQ(valueAxisTicks(0, 25, 100, 0).size(), 3u);
    EXPECT_EQ(valueAxisTicks(0, 9, 100, 0).size(), 10u);
}

TEST(AxisTicks, HorizontalAndFrequencyAxes)
{
    expectTicks(timeAxisTicks(0, 1, 110, 110),
                {{0, 110, "0.00e+00"}, {0.5, 165, "5.00e-01"}, {1, 220, "1.00e+00"}}, "0 ... 1");
    // A range of 9.9 still steps by 0.5, one of 10 by 5.
    EXPECT_EQ(timeAxisTicks(0, 9.9, 100, 0).size(), 20u);
    EXPECT_EQ(timeAxisTicks(0, 10, 100, 0).size(), 3u);
    // -fs/2 ... fs/2 for fs = 1 MHz: step 10^6 never halved, a single tick at mid-height
    // of the 180-pixel plot of a 500 x 250 spectrogram.
    expectTicks(frequencyAxisTicks(-500000, 500000, 180, 20), {{0, 110, "0.00e+00"}},
                "+-500 kHz");
}

TEST(AxisTicks, ResiduesNearZeroAreLabelledZero)
{
    // -0.3 + 0.1 + 0.1 + 0.1 is 2.78e-17, not 0.
    double v = -0.3;
    for (int k = 0; k < 3; ++k)
        v += 0.1;
    ASSERT_NE(v, 0.0);
    EXPECT_EQ(valueTickLabel(v, 0.1).toStdString(), "0");
    EXPECT_EQ(exponentTickLabel(v, 0.1).toStdString(), "0.00e+00");
    // Ticks by repeated subtraction from 0.3 in steps of 0.1 reach such a residue.
    const auto ticks = valueAxisTicks(-0.35, 0.35, 100, 0);
    bool sawZero = false;
    for (const AxisTick& t : ticks)
        if (t.label == "0")
            sawZero = true;
    EXPECT_TRUE(sawZero);
}

TEST(AxisTicks, ValueLabelTexts)
{
    struct Row
    {
        double value;
        double step;
        const char* label;
    } rows[] = {
        {0, 1, "0"},           {0.5, 0.5, "0.50"},  {-1, 0.5, "-1.00"},     {9.5, 0.5, "9.50"},
        {-30, 10, "-30.0"},    {50, 10, "50.0"},    {500, 100, "500"},      {-900, 100, "-900"},
        {5000, 1000, "5.00e+03"}, {0.0005, 0.0001, "5.00e-04"}, {-2e6, 1e6, "-2.00e+06"},
        // Magnitudes from 0.001 up to 0.1: two significant digits, fixed notation.
        {0.05, 0.01, "0.050"}, {0.005, 0.001, "0.0050"}, {-0.02, 0.01, "-0.020"},
        {0.001, 0.001, "0.0010"}, {0.09, 0.01, "0.090"},
        {1000, 500, "1000"},    {notANumber, 1, "nan"},     {infinity, 1, "inf"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(valueTickLabel(r.value, r.step).toStdString(), r.label) << r.value;
}

TEST(AxisTicks, DegenerateRangesTerminate)
{
    // Zero extent: one tick at mid-length.
    EXPECT_EQ(valueAxisTicks(3, 3, 100, 10).size(), 1u);
    EXPECT_EQ(valueAxisTicks(3, 3, 100, 10)[0].position, 60);
    EXPECT_EQ(frequencyAxisTicks(0, 0, 180, 20).size(), 1u);
    EXPECT_EQ(timeAxisTicks(2, 2, 310, 110)[0].position, 265);
    // Non-finite or inverted ranges: no tick.
    const std::pair<double, double> bad[] = {{notANumber, 1.0}, {0.0, notANumber}, {-infinity, 0.0},
                                             {0.0, infinity},   {2.0, 1.0},        {-1.7e308, 1.7e308}};
    for (auto [lo, hi] : bad) {
        EXPECT_TRUE(valueAxisTicks(lo, hi, 100, 0).size() <= 1) << lo << " " << hi;
        EXPECT_TRUE(timeAxisTicks(lo, hi, 100, 0).size() <= 1) << lo << " " << hi;
        EXPECT_TRUE(frequencyAxisTicks(lo, hi, 100, 0).size() <= 1) << lo << " " << hi;
    }
    // One ulp of range near 4e19: the step is smaller than half an ulp, so
    // subtracting it changes nothing; the loop must still end.
    const double a = 4e19;
    const double b = std::nextafter(a, infinity);
    EXPECT_LE(valueAxisTicks(a, b, 100, 0).size(), maxTicks);
    EXPECT_LE(timeAxisTicks(a, b, 100, 0).size(), maxTicks);
    EXPECT_LE(ticksDown(0, 1e300, 1).size(), maxTicks);
    EXPECT_LE(ticksUp(0, 1e300, 1e290).size(), maxTicks);
}

TEST(PlotRanges, SymmetricWideningAndNonFinitePoints)
{
    struct Row
    {
        std::vector<double> y;
        bool symmetric;
        double yMin, yMax;
    } rows[] = {
        {{-0.3, 0.8}, true, -0.8, 0.8},
        {{-0.3, 0.8}, false, -0.3, 0.8},
        {{0.1, 0.8}, true, 0.1, 0.8},
        {{-0.9, 0.2}, true, -0.9, 0.9},
        {{-2, notANumber, 1}, true, -2, 2},
        {{infinity, 1, 3}, false, 1, 3},
    };
    for (const Row& r : rows) {
        std::vector<double> x(r.y.size());
        for (size_t k = 0; k < x.size(); ++k)
            x[k] = static_cast<double>(k);
        const PlotRanges p = plotRanges(x, r.y, r.symmetric);
        EXPECT_TRUE(p.finite);
        EXPECT_EQ(p.yMin, r.yMin);
        EXPECT_EQ(p.yMax, r.yMax);
    }
    // x non-finite: the point leaves the x and the y range.
    const PlotRanges p = plotRanges({0, notANumber, 2}, {1, 100, 3}, false);
    EXPECT_EQ(p.xMax, 2);
    EXPECT_EQ(p.yMax, 3);
    EXPECT_FALSE(plotRanges({notANumber, 1}, {1, notANumber}, false).finite);
    EXPECT_FALSE(plotRanges({}, {}, false).finite);
}

// Long data is scanned in parts on several threads; the merged ranges are those
// of one pass, including which of 0 and -0 (the earliest) becomes an extreme.
TEST(PlotRanges, LongDataScannedInPartsMatchOnePass)
{
    const size_t n = 3000001;
    std::vector<double> x(n), y(n);
    for (size_t k = 0; k < n; ++k) {
        x[k] = static_cast<double>(k % 1000) + 1.0;
        y[k] = std::sin(0.001 * static_cast<double>(k)) + 2.0;
    }
    // Non-finite points at the ends of parts are left out.
    x[0] = notANumber;
    y[1500000] = infinity;
    y[1500001] = -5;
    x[n - 1] = 1e9;
    y[n - 1] = notANumber;
    PlotRanges p = plotRanges(x, y, false);
    double yMax = -infinity;
    for (size_t k = 1; k + 1 < n; ++k)
        if (k != 1500000)
            yMax = std::max(yMax, y[k]);
    EXPECT_TRUE(p.finite);
    EXPECT_EQ(p.xMin, 1.0);
    EXPECT_EQ(p.xMax, 1000.0);
    EXPECT_EQ(p.yMin, -5.0);
    EXPECT_EQ(p.yMax, yMax);
    // Equal extremes of opposite zero sign in different parts: the first wins.
    std::fill(y.begin(), y.end(), 1.0);
    y[10] = -0.0;
    y[2900000] = 0.0;
    x.assign(n, 5.0);
    x[20] = 0.0;
    x[2000000] = -0.0;
    p = plotRanges(x, y, false);
    EXPECT_TRUE(std::signbit(p.yMin));
    EXPECT_FALSE(std::signbit(p.xMin));
    // Nothing finite in the first part.
    std::fill(y.begin(), y.begin() + 2000000, notANumber);
    p = plotRanges(x, y, false);
    EXPECT_TRUE(p.finite);
    EXPECT_EQ(p.yMin, 0.0);
    EXPECT_FALSE(std::signbit(p.yMin));
}

TEST(PlotRanges, ZeroExtentsAreOpenedAroundTheValue)
{
    struct Row
    {
        std::vector<double> x, y;
        double xMin, xMax, yMin, yMax;
    } rows[] = {
        {{0, 1}, {0, 0}, 0, 1, -1, 1},
        {{0, 1}, {-156.5, -156.5}, 0, 1, -156.5 - 15.65, -156.5 + 15.65},
        {{5}, {2}, 4.5, 5.5, 1.8, 2.2},
        {{0}, {0}, -1, 1, -1, 1},
        {{0, 1}, {1e308 * 1.7, 1e308 * 1.7}, 0, 1, 1.7e308 * 0.9, 1.7e308},
    };
    for (const Row& r : rows) {
        const PlotRanges p = plotRanges(r.x, r.y, true);
        EXPECT_DOUBLE_EQ(p.xMin, r.xMin);
        EXPECT_DOUBLE_EQ(p.xMax, r.xMax);
        EXPECT_DOUBLE_EQ(p.yMin, r.yMin);
        EXPECT_DOUBLE_EQ(p.yMax, r.yMax);
        EXPECT_LT(p.yMin, p.yMax);
        EXPECT_LT(p.xMin, p.xMax);
    }
}

TEST(SampleRanges, TimeRangeToSamples)
{
    struct Row
    {
        double fs;
        uint32_t count;
        double start, stop;
        uint32_t first, end;
    } rows[] = {
        {1000, 100000, 0, 0.01, 0, 11},        // eleven points 0 ... 0.010
        {1000, 100000, 0.0015, 0.0105, 1, 12}, // eleven points 0.001 ... 0.011
        {1000, 100000, 0, 0.05, 0, 51},        // ends with the sample at the stop time
        {1000, 1000, 0, 1, 0, 1000},           // stop at the duration: the last sample
        {1000, 1000, 2, 3, 1000, 1000},        // past the end: nothing
        {1000, 1000, 0.5, 0.2, 500, 500},      // inverted: nothing
        {1000, 1000, -1, 0.001, 0, 2},         // before the start: from sample 0
        {1000, 1000, notANumber, notANumber, 0, 0},
        {1000, 1000, 0, infinity, 0, 1000},
        {0, 1000, 0, 1, 0, 1},
    };
    for (const Row& r : rows) {
        const SampleRange s = sampleRange(r.fs, r.count, r.start, r.stop);
        EXPECT_EQ(s.first, r.first) << r.start << " " << r.stop;
        EXPECT_EQ(s.end, r.end) << r.start << " " << r.stop;
    }
    const std::vector<double> t = sampleTimes(sampleRange(1000, 1000, 0.0015, 0.0105), 1000);
    ASSERT_EQ(t.size(), 11u);
    EXPECT_EQ(t.front(), 0.001);
    EXPECT_EQ(t.back(), 0.011);
    const std::vector<double> all = sampleTimes(sampleRange(1000, 1000, 0, 1), 1000);
    ASSERT_EQ(all.size(), 1000u);
    EXPECT_EQ(all.back(), 0.999);

    // Shared times: the same vector while one is held for the same range and rate.
    const SampleRange range = sampleRange(1000, 1000, 0.0015, 0.0105);
    auto first = sharedSampleTimes(range, 1000);
    EXPECT_EQ(*first, t);
    EXPECT_EQ(sharedSampleTimes(range, 1000), first);
    EXPECT_NE(sharedSampleTimes(range, 2000), first);
    EXPECT_EQ(*sharedSampleTimes(range, 2000), sampleTimes(range, 2000));
    EXPECT_EQ(*sharedSampleTimes(sampleRange(1000, 1000, 0, 1), 1000), all);
    first.reset();
    EXPECT_EQ(*sharedSampleTimes(range, 1000), t);
}
