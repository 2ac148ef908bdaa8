// Spectrogram: bit identity with the literal column computation (one thread
// and several), column counts and range clamping, levels, tones, failures.

#include "dsp/Spectrogram.h"
#include "io/Recording.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double zeroLevel = -156.53559774527022; // 10 log10(machine epsilon)

void load(Recording& recording, uint32_t rate, size_t count, uint32_t seed, bool nonFinite = false)
{
    recording.assign(rate, randomValues(count, seed, nonFinite), randomValues(count, seed + 1, nonFinite));
}

double duration(const Recording& recording)
{
    return double(recording.sampleCount()) / double(recording.sampleRate());
}

// Index of the first differing element, or -1; columns must have N rows.
long firstDifferentElement(const ColumnMatrix& ours, const literal::SpectrogramResult& expected)
{
    if (ours.size() != expected.columns.size())
        return 0;
    for (size_t c = 0; c < ours.size(); ++c) {
        if (ours[c].size() != expected.columns[c].size())
            return long(c * 100000);
        const long k = firstDifference(ours.column(c), expected.columns[c].data(), ours[c].size());
        if (k >= 0)
            return long(c * 100000) + k;
    }
    return -1;
}

int truncated(double value)
{
    return int(std::clamp(std::trunc(value), double(INT_MIN), double(INT_MAX)));
}

} // namespace

// Every size 2^1 ... 2^15 over a few columns, a range inside the recording,
// non-finite samples, and enough columns at the defaults to be split across
// threads: the same bits as the literal computation, and the same maximum.
TEST(Spectrogram, BitIdenticalToLiteral)
{
    struct Row { uint32_t exponent; double overlap; size_t count; int32_t start; uint32_t stop; bool nonFinite; };
    std::vector<Row> rows;
    for (uint32_t e = 1; e <= 15; ++e) {
        const uint32_t n = uint32_t(1) << e;
        rows.push_back({e, 0.8, size_t(n) * 3 + 7, 0, uint32_t(n) * 3 + 6, e % 4 == 3});
    }
    rows.push_back({8, 0.8, 200000, 0, 199999, false}); // 3,917 columns
    rows.push_back({8, 0.8, 150000, 0, 149999, true});
    rows.push_back({10, 0.5, 50000, 1234, 45678, false});
    rows.push_back({6, 1.0, 3000, 17, 2500, false});
    rows.push_back({7, 0.0, 3000, 5, 2999, false});
    const uint32_t rate = 48000;
    uint32_t seed = 300;
    for (const Row& row : rows) {
        Recording recording;
        load(recording, rate, row.count, seed++, row.nonFinite);
        Spectrogram spectrogram(&recording);
        spectrogram.setFftSizeExponent(row.exponent);
        spectrogram.setOverlap(row.overlap);
        // Times whose floor and ceil land on the row's sample indices.
        spectrogram.setTimeRange((row.start + 0.25) / rate, (row.stop - 0.25) / rate);
        const literal::SpectrogramResult expected = literal::spectrogram(
            recording.iSamples(), recording.qSamples(), rate, row.start, row.stop, uint32_t(1) << row.exponent,
            row.overlap);
        ASSERT_FALSE(expected.columns.empty());
        EXPECT_EQ(firstDifferentElement(spectrogram.columns(), expected), -1)
            << "exponent " << row.exponent << ", samples " << row.count;
        EXPECT_EQ(spectrogram.maxPower(), truncated(expected.maxValue)) << "exponent " << row.exponent;
    }
}

TEST(Spectrogram, ColumnCounts)
{
    struct Row { size_t count; uint32_t exponent; double overlap; size_t columns; };
    const Row rows[] = {
        {1000000, 8, 0.8, 19603},  // defaults: H = 51 from 1.0 - 0.8
        {256, 8, 0.8, 1},          // exactly N
        {256 + 50, 8, 0.8, 1},     // N + H - 1
        {256 + 51, 8, 0.8, 2},     // N + H
        {1000, 8, 1.0, 745},       // overlap 1: hop raised to 1, len - N + 1
        {1000, 8, 0.0, 3},         // overlap 0: hop N
        {1000, 1, 0.8, 999},       // N = 2: H = trunc(0.4) = 0, raised to 1
    };
    for (const Row& row : rows) {
        Recording recording;
        recording.assign(1000, std::vector<double>(row.count, 1.0), std::vector<double>(row.count, 0.0));
        Spectrogram spectrogram(&recording);
        spectrogram.setFftSizeExponent(row.exponent);
        spectrogram.setOverlap(row.overlap);
        spectrogram.setTimeRange(0.0, duration(recording));
        EXPECT_EQ(spectrogram.columns().size(), row.columns) << row.count << " samples";
        EXPECT_EQ(spectrogram.columns().rows(), size_t(1) << row.exponent);
        if (!spectrogram.columns().empty()) {
            EXPECT_EQ(spectrogram.columns()[row.columns - 1].size(), size_t(1) << row.exponent);
        }
    }
}

TEST(Spectrogram, ShortRangeLeavesEmptyMatrixAndOldMaximum)
{
    Recording recording;
    recording.assign(1000, std::vector<double>(1000, 0.0), std::vector<double>(1000, 0.0));
    Spectrogram spectrogram(&recording);
    EXPECT_EQ(spectrogram.maxPower(), 1); // before any computation
    spectrogram.setTimeRange(0.0, 0.5);
    ASSERT_FALSE(spectrogram.columns().empty());
    EXPECT_EQ(spectrogram.maxPower(), -156);
    for (size_t c = 0; c < spectrogram.columns().size(); ++c) {
        for (double v : spectrogram.columns()[c])
            ASSERT_EQ(v, zeroLevel);
    }
    // N - 1 samples: no column, the maximum of the last computation stays.
    spectrogram.setTimeRange(0.1, 0.1 + 254.0 / 1000);
    EXPECT_TRUE(spectrogram.columns().empty());
    EXPECT_EQ(spectrogram.maxPower(), -156);
}

TEST(Spectrogram, RangeClampedToTheRecording)
{
    Recording recording;
    load(recording, 8000, 5000, 21);
    Spectrogram whole(&recording);
    whole.setTimeRange(0.0, duration(recording));
    const size_t columns = whole.columns().size();
    ASSERT_EQ(columns, (5000 - 256) / 51 + 1u);

    struct Row { double start, stop; size_t columns; bool sameAsWhole; };
    const Row rows[] = {
        {0.0, 100.0, columns, true},          // stop past the end: clamped to the last sample
        {-3.0, duration(recording), columns, true}, // negative start: from the first sample
        {-1e300, 1e300, columns, true},       // beyond any index
        {2.0, 3.0, 0, false},                 // starts past the end
        {0.5, 0.25, 0, false},                // stop before start
        {1e300, 2e300, 0, false},
        {std::nan(""), duration(recording), columns, true},
    };
    for (const Row& row : rows) {
        Spectrogram spectrogram(&recording);
        spectrogram.setTimeRange(row.start, row.stop);
        ASSERT_EQ(spectrogram.columns().size(), row.columns) << row.start << " ... " << row.stop;
        if (row.sameAsWhole) {
            for (size_t c = 0; c < columns; ++c)
                ASSERT_EQ(firstDifference(spectrogram.columns().column(c), whole.columns().column(c), 256), -1);
        } else {
            EXPECT_EQ(spectrogram.maxPower(), 1);
        }
    }
}

// A recompute over another range of the same size refills the matrix in
// place; it must hold the new range's values, not the old ones.
TEST(Spectrogram, RecomputeOfTheSameSizeMatchesAFreshOne)
{
    Recording recording;
    load(recording, 1000, 6000, 31);
    Spectrogram reused(&recording);
    reused.setTimeRange(0.0, 2.9995);
    const size_t columns = reused.columns().size();
    reused.setTimeRange(3.0, 5.9995);
    Spectrogram fresh(&recording);
    fresh.setTimeRange(3.0, 5.9995);
    ASSERT_EQ(reused.columns().size(), columns);
    ASSERT_EQ(fresh.columns().size(), columns);
    for (size_t c = 0; c < columns; ++c)
        ASSERT_EQ(firstDifference(reused.columns().column(c), fresh.columns().column(c), 256), -1) << c;
    EXPECT_EQ(reused.maxPower(), fresh.maxPower());
}

TEST(Spectrogram, NothingLoadedOrNothingToRead)
{
    Recording unloaded;
    Spectrogram spectrogram(&unloaded);
    spectrogram.setTimeRange(0.0, 1.0);
    EXPECT_TRUE(spectrogram.columns().empty());
    EXPECT_EQ(spectrogram.maxPower(), 1);

    Recording empty;
    empty.assign(1000, {}, {});
    Spectrogram onEmpty(&empty);
    onEmpty.setTimeRange(0.0, 1.0);
    EXPECT_TRUE(onEmpty.columns().empty());
    EXPECT_EQ(onEmpty.maxPower(), 1);
}

TEST(Spectrogram, SizeMismatchKeepsThePreviousMatrix)
{
    Recording recording;
    load(recording, 1000, 2000, 8);
    Spectrogram spectrogram(&recording);
    spectrogram.setTimeRange(0.0, 2.0);
    const size_t columns = spectrogram.columns().size();
    const std::vector<double> firstColumn(spectrogram.columns()[0].begin(), spectrogram.columns()[0].end());
    const int maxPower = spectrogram.maxPower();

    try {
        spectrogram.computeSamples(std::vector<double>(3000, 1.0), std::vector<double>(2999, 1.0), 1000.0);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Size mismatch in I and Q datasets");
    }
    ASSERT_EQ(spectrogram.columns().size(), columns);
    EXPECT_EQ(firstDifference(spectrogram.columns().column(0), firstColumn.data(), 256), -1);
    EXPECT_EQ(spectrogram.maxPower(), maxPower);
}

// N = 2: the window is two zeros, so every element is the level of zero power.
TEST(Spectrogram, TwoPointWindowSeesNothing)
{
    Recording recording;
    load(recording, 1000, 300, 4);
    Spectrogram spectrogram(&recording);
    spectrogram.setFftSizeExponent(1);
    spectrogram.setTimeRange(0.0, 0.3);
    ASSERT_EQ(spectrogram.columns().size(), 299u);
    for (size_t c = 0; c < spectrogram.columns().size(); ++c) {
        ASSERT_EQ(spectrogram.columns()[c][0], zeroLevel);
        ASSERT_EQ(spectrogram.columns()[c][1], zeroLevel);
    }
    EXPECT_EQ(spectrogram.maxPower(), -156);
}

// A tone at +f lands in row N/2 + f N / fs of every column, one at -f as far below N/2.
TEST(Spectrogram, ToneLandsInItsRow)
{
    const uint32_t rate = 1000;
    for (double f : {125.0, -125.0, 250.0, -31.25}) {
        std::vector<double> i(4000), q(4000);
        for (size_t n = 0; n < i.size(); ++n) {
            const long double angle = 2.0L * 3.14159265358979323846264338327950288L * f * n / rate;
            i[n] = double(std::cos(angle));
            q[n] = double(std::sin(angle));
        }
        Recording recording;
        recording.assign(rate, std::move(i), std::move(q));
        Spectrogram spectrogram(&recording);
        spectrogram.setTimeRange(0.0, 4.0);
        const size_t expectedRow = size_t(128 + f * 256 / rate);
        ASSERT_GT(spectrogram.columns().size(), 0u);
        for (size_t c = 0; c < spectrogram.columns().size(); ++c) {
            const std::span<const double> column = spectrogram.columns()[c];
            ASSERT_EQ(size_t(std::max_element(column.begin(), column.end()) - column.begin()), expectedRow) << f;
        }
    }
}

// A recording full of NaN has no largest value, and one with an infinity an
// infinite one: maxPower still returns a defined int.
TEST(Spectrogram, MaxPowerOfNonFiniteData)
{
    const double nan = std::nan("");
    const double inf = INFINITY;
    struct Row { double value; int expected; };
    const Row rows[] = {{nan, INT_MIN}, {inf, INT_MAX}};
    for (const Row& row : rows) {
        Recording recording;
        std::vector<double> i(1000, 0.5);
        for (size_t n = 0; n < i.size(); n += (row.value == inf ? 300 : 1))
            i[n] = row.value;
        recording.assign(1000, std::move(i), std::vector<double>(1000, 0.0));
        Spectrogram spectrogram(&recording);
        spectrogram.setTimeRange(0.0, 1.0);
        ASSERT_FALSE(spectrogram.columns().empty());
        EXPECT_EQ(spectrogram.maxPower(), row.expected) << row.value;
    }
}

TEST(Spectrogram, ExponentLimits)
{
    Recording recording;
    load(recording, 1000, 70000, 12);
    Spectrogram spectrogram(&recording);
    EXPECT_THROW(spectrogram.setFftSizeExponent(32), std::invalid_argument);
    EXPECT_THROW(spectrogram.setFftSizeExponent(4000000000u), std::invalid_argument);
    EXPECT_EQ(spectrogram.fftSize(), 256u);
    spectrogram.setFftSizeExponent(31);
    EXPECT_EQ(spectrogram.fftSize(), 2147483648u);
    spectrogram.setTimeRange(0.0, 70.0); // far too few samples: no column
    EXPECT_TRUE(spectrogram.columns().empty());
    // Above 2^15 still computes.
    spectrogram.setFftSizeExponent(16);
    spectrogram.setOverlap(0.5);
    spectrogram.compute();
    EXPECT_EQ(spectrogram.columns().size(), 1u);
    EXPECT_EQ(spectrogram.columns().rows(), 65536u);
}
