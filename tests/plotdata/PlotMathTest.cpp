// Plot ranges and sample ranges.

#include "plotdata/PlotMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

} // namespace

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
