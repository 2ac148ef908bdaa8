// The plain arithmetic behind the mouse: ranges from drags, zooms and pans, the
// time texts the fields get, the history of views and the readout's numbers.

#include "panel/RangeNavigation.h"
#include "views/AxisTicks.h"
#include "session/ViewComputation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

std::string text(const std::optional<ValueRange>& r)
{
    return r ? std::to_string(r->low) + " " + std::to_string(r->high) : "none";
}

} // namespace

TEST(NavigationMath, TimeTextsLandOnTheirSample)
{
    // Every text reads back as the range the views stream: its start sample and
    // up to its stop sample.
    const double rates[] = {1, 1000, 44100, 200000, 1e7, 20e6, 61.44e6, 4294967295.0};
    const uint64_t samples[] = {1, 2, 7, 12345, 999999, 1000000, 100000003, 4294967294u};
    for (double fs : rates) {
        for (uint64_t k : samples) {
            SCOPED_TRACE(std::to_string(fs) + " " + std::to_string(k));
            const double start = startTimeText(k - 1, fs).toDouble();
            const double stop = stopTimeText(k, fs).toDouble();
            const StreamRange range = streamRangeOf(fs, UINT32_MAX, start, stop);
            EXPECT_EQ(range.first, k - 1);
            EXPECT_EQ(range.end, k + 1);
            EXPECT_NEAR(start * fs, double(k - 1), 2e-3);
        }
    }
    // Round times read as such.
    EXPECT_EQ(startTimeText(0, 200000), "0");
    EXPECT_EQ(startTimeText(500000, 200000), "2.5");
    EXPECT_EQ(stopTimeText(800000, 200000), "4");
    EXPECT_EQ(stopTimeText(3, 1000), "0.003");
}

TEST(NavigationMath, RangesFromDragsZoomsAndPans)
{
    const ValueRange limits{0, 100};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        double from, to, minSpan;
        std::string expected;
    } drags[] = {
        {30, 10, 1, text(ValueRange{10, 30})},
        {5, 5, 1, "none"},
        {-50, -10, 1, "none"}, // wholly outside
        {-50, 20, 1, text(ValueRange{0, 20})},
        {50, 52, 16, text(ValueRange{43, 59})},
        {99, 100, 16, text(ValueRange{84, 100})},
        {nan, 10, 1, "none"},
    };
    for (const auto& row : drags)
        EXPECT_EQ(text(selectedRange(row.from, row.to, limits, row.minSpan)), row.expected)
            << row.from << " " << row.to;

    const struct
    {
        ValueRange range;
        double anchor, factor, minSpan;
        ValueRange expected;
    } zooms[] = {
        {{0, 100}, 25, 0.5, 1, {12.5, 62.5}},
        {{40, 60}, 50, 8, 1, {0, 100}},
        {{10, 30}, 10, 4, 1, {10, 90}},
        {{10, 30}, 20, 4, 1, {0, 80}}, // stopped at the start
        {{0, 100}, 50, 1e-3, 16, {42, 58}},
        {{0, 100}, 50, 1e300, 16, {0, 100}},
        {{20, 40}, 500, 0.5, 1, {30, 40}}, // an anchor outside counts as the edge
    };
    for (const auto& row : zooms)
        EXPECT_EQ(text(zoomedRange(row.range, row.anchor, row.factor, limits, row.minSpan)),
                  text(row.expected))
            << row.anchor << " " << row.factor;

    EXPECT_EQ(text(pannedRange({10, 30}, 50, limits)), text(ValueRange{60, 80}));
    EXPECT_EQ(text(pannedRange({10, 30}, -20, limits)), text(ValueRange{0, 20}));
    EXPECT_EQ(text(pannedRange({10, 30}, 1e300, limits)), text(ValueRange{80, 100}));

    const struct
    {
        ValueRange samples;
        uint64_t count, minSamples, first, last;
    } spans[] = {
        {{12.4, 40.6}, 100, 16, 12, 41},
        {{95.2, 99.9}, 100, 16, 84, 100},
        {{0.2, 3.0}, 100, 16, 0, 16},
        {{2, 5}, 10, 16, 0, 10}, // shorter than the smallest span: all of it
        {{-5, 1e30}, 100, 16, 0, 100},
    };
    for (const auto& row : spans) {
        const SampleSpan span = sampleSpan(row.samples, row.count, row.minSamples);
        EXPECT_EQ(span.first, row.first) << row.samples.low;
        EXPECT_EQ(span.last, row.last) << row.samples.low;
    }

    EXPECT_EQ(text(wholeHertzBand({-100.5, 200.2}, {-1000, 1000})), text(ValueRange{-101, 201}));
    EXPECT_EQ(text(wholeHertzBand({-2000, 200.2}, {-1000, 1000})), text(ValueRange{-1000, 201}));
    EXPECT_EQ(text(wholeHertzBand({1000.5, 2000}, {-1000, 1000})), "none");
}

TEST(NavigationMath, ReadoutNumbersInTheirUnits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        double value;
        AxisQuantity quantity;
        double resolution;
        QString expected;
    } rows[] = {
        {2.5123, AxisQuantity::Time, 0.001, "2.512 s"},
        {0.0003, AxisQuantity::Time, 1e-6, "300 \u00b5s"},
        {0.5, AxisQuantity::Time, 0.001, "500 ms"},
        {-1e-5, AxisQuantity::Time, 0.001, "-10 \u00b5s"},
        {-60123.4, AxisQuantity::Frequency, 240, "-60.1 kHz"},
        {0, AxisQuantity::Frequency, 3.9, "0 Hz"},
        {-0.2, AxisQuantity::Frequency, 3.9, "0 Hz"}, // never "-0"
        {433.86e6 + 12.7, AxisQuantity::Frequency, 3.9, "433.860013 MHz"},
        {1.0 / 0.56, AxisQuantity::Frequency, 1.8e-5, "1.78571 Hz"},
        {2.4e9, AxisQuantity::Frequency, 1e4, "2.40000 GHz"},
        {-46.63, AxisQuantity::Number, 0.1, "-46.6"},
        {nan, AxisQuantity::Time, 0.001, "-"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(quantityText(row.value, row.quantity, row.resolution), row.expected)
            << row.value;
}
