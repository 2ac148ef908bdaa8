// Streaming computations fed in blocks of every size: the same bits as over the
// whole range at once (spectrogram columns, pooled by maximum beyond the
// bound; Welch sums), the range's mean, and cancellation.

#include "dsp/BlockStream.h"
#include "dsp/SpectrogramStream.h"
#include "dsp/Spectrum.h"
#include "dsp/WelchStream.h"
#include "io/SampleSource.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Hands samples [first, end) of i and q to consumer in blocks of random sizes
// (up to maxBlock), as a pass over a recording would.
void feed(BlockConsumer& consumer, const std::vector<double>& i, const std::vector<double>& q,
          size_t first, size_t end, size_t maxBlock, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> size(1, maxBlock);
    WorkControl control;
    for (size_t k = first; k < end;) {
        const size_t count = std::min(size(rng), end - k);
        consumer.consume(k, count, i.data() + k, q.data() + k, control);
        k += count;
    }
}

// Per-row maximum of columns [begin, end), a NaN counting as the largest.
std::vector<double> pooledColumn(const std::vector<std::vector<double>>& columns, size_t begin, size_t end)
{
    std::vector<double> out = columns[begin];
    for (size_t c = begin + 1; c < end; ++c)
        for (size_t r = 0; r < out.size(); ++r)
            if (!(std::isnan(out[r]) || columns[c][r] <= out[r]))
                out[r] = columns[c][r];
    return out;
}

} // namespace

// The columns a range shows, pooled as they are meant to be: its own columns
// while there are no more than asked for; else the recording's grid columns
// (origin 0) inside it, in aligned power-of-two groups, the fewest that make no
// more output columns than asked for, their magnitudes rounded to single precision.
TEST(SpectrogramStream, SameColumnsAsTheLiteralPooledWhenThereAreMore)
{
    struct Row
    {
        uint32_t exponent;
        double overlap;
        size_t count, first, length;
        size_t maxColumns;
        size_t maxBlock;
        bool nonFinite;
        size_t pooling; // expected
    };
    const Row rows[] = {
        {8, 0.8, 20000, 0, 20000, 100000, 4096, false, 1}, // one column per time column
        {8, 0.8, 20000, 333, 15000, 100000, 7, false, 1},  // tiny blocks, range inside
        {8, 0.8, 20000, 0, 20000, 37, 3000, false, 16},    // 388 columns pooled into 25
        {8, 0.8, 20000, 333, 15000, 37, 1000, false, 8},   // grid columns from 7 (357) on
        {8, 0.8, 20000, 330, 15000, 38, 1000, false, 8},   // from 7: its first group partial
        {4, 0.5, 5000, 10, 4900, 64, 100, true, 16},       // NaN and infinities
        {6, 1.0, 3000, 0, 3000, 1000, 500, false, 4},      // hop 1
        {5, -1.0, 3000, 0, 3000, 10, 50, false, 8},        // columns 64 apart, gaps between
        {10, 0.0, 1023, 0, 1023, 10, 100, false, 1},       // too short for a column
        {8, 0.8, 60000, 777, 59000, 5, 100000, false, 256}, // one block, many threads' runs
    };
    for (const Row& r : rows) {
        const auto i = randomValues(r.count, 11 + r.exponent, r.nonFinite);
        const auto q = randomValues(r.count, 12 + r.exponent, r.nonFinite);
        const uint32_t n = uint32_t(1) << r.exponent;
        const uint32_t hop = spectrogramHop(n, r.overlap);
        const size_t own = spectrogramColumnCount(r.length, n, hop);
        // The literal columns the range shows, the first of them grid column c0.
        size_t c0 = 0;
        size_t start = r.first;
        size_t end = r.first + r.length;
        if (own > r.maxColumns) {
            c0 = (r.first + hop - 1) / hop;
            start = c0 * hop;
            end = ((end - n) / hop) * hop + n;
        }
        const auto expected = literal::spectrogram(i, q, 48000, int32_t(start), uint32_t(end - 1), n, r.overlap, 1.0,
                                                   r.pooling > 1 ? singlePrecisionMagnitude : nullptr);
        SpectrogramStream stream(r.first, r.length, r.exponent, r.overlap, 48000, r.maxColumns);
        feed(stream, i, q, r.first, r.first + r.length, r.maxBlock, r.exponent);
        const PooledSpectrogram got = stream.takeResult();
        const size_t k = expected.columns.size();
        ASSERT_EQ(got.sourceColumns, k) << r.exponent;
        ASSERT_EQ(stream.grouping().pooling, r.pooling) << r.exponent;
        // Every time column in the group of its grid index, groups left to right.
        const size_t width = k == 0 ? 0 : (c0 + k - 1) / r.pooling - c0 / r.pooling + 1;
        ASSERT_EQ(got.columns.size(), width);
        ASSERT_LE(width, r.maxColumns);
        for (size_t x = 0; x < width; ++x) {
            const size_t group = c0 / r.pooling + x;
            const size_t begin = std::max(c0, group * r.pooling) - c0;
            const size_t stop = std::min(c0 + k, (group + 1) * r.pooling) - c0;
            const auto want = pooledColumn(expected.columns, begin, stop);
            ASSERT_EQ(firstDifference(got.columns.column(x), want.data(), n), -1) << r.exponent << " column " << x;
        }
        if (k > 0) {
            EXPECT_TRUE(sameBits(got.maxValue, expected.maxValue)) << got.maxValue << " " << expected.maxValue;
        }
    }
}

namespace {

// Pooled columns as a sink receives them.
struct CollectedColumns : PooledColumnSink
{
    void take(uint64_t x, const double* magnitudes, double largest) override
    {
        index.push_back(x);
        values.emplace_back(magnitudes, magnitudes + rows);
        largests.push_back(largest);
    }
    size_t rows = 0;
    std::vector<uint64_t> index;
    std::vector<std::vector<double>> values;
    std::vector<double> largests;
};

} // namespace

// Streams on the recording's grid hand their groups to sinks in order, complete,
// whatever the blocks: a group spread over several blocks, groups of another
// size alongside, the same maxima as the stream's own pooled columns.
TEST(SpectrogramStream, SinksReceiveEachGroupOnceInOrder)
{
    const size_t count = 40000;
    const auto i = randomValues(count, 5, true);
    const auto q = randomValues(count, 6);
    const uint32_t hop = spectrogramHop(64, 0.75);
    for (size_t maxBlock : {size_t(50), size_t(3000), count}) {
        // Whole recording: 2 ... 2,497 grid columns 16 apart, pooled by 64, and by 4 into a sink.
        SpectrogramStream whole(0, count, 6, 0.75, 1000, 40);
        CollectedColumns fine;
        fine.rows = 64;
        whole.addSink(4, &fine);
        feed(whole, i, q, 0, count, maxBlock, 1);
        const PooledSpectrogram result = whole.takeResult();
        ASSERT_EQ(whole.grouping().pooling, 64u);
        ASSERT_EQ(fine.index.size(), (spectrogramColumnCount(count, 64, hop) + 3) / 4);
        for (size_t x = 0; x < fine.index.size(); ++x)
            ASSERT_EQ(fine.index[x], x);
        // A sink-only stream over grid columns 10 ... 1,999 pooled by 64: its
        // columns, rounded and in dB, against the fine sink's pooled again.
        CollectedColumns coarse;
        coarse.rows = 64;
        SpectrogramStream part(6, 0.75, 1000, 10, 2000, 64, &coarse);
        feed(part, i, q, 10 * hop, 1999 * hop + 64, maxBlock, 2);
        ASSERT_EQ(coarse.index.size(), 1999 / 64 + 1);
        for (size_t x = 0; x < coarse.index.size(); ++x) {
            ASSERT_EQ(coarse.index[x], x);
            if (x == 0 || x + 1 == coarse.index.size())
                continue; // partial groups
            const auto want = pooledColumn(fine.values, 16 * x, 16 * x + 16);
            ASSERT_EQ(firstDifference(coarse.values[x].data(), want.data(), 64), -1) << x;
            double largest = -1;
            for (size_t f = 16 * x; f < 16 * x + 16; ++f)
                largest = std::max(largest, fine.largests[f]);
            EXPECT_EQ(coarse.largests[x], largest);
        }
        // The whole stream's own columns are the fine groups pooled by 16, in dB.
        for (size_t x = 0; x < result.columns.size(); ++x) {
            const auto want = pooledColumn(fine.values, 16 * x, std::min(fine.values.size(), 16 * x + 16));
            for (size_t k = 0; k < 64; ++k) {
                const double a = singlePrecisionMagnitude(want[k]);
                const double db = 10.0 * std::log10(a * a / (64.0 * 64.0) / (1000.0 / 64) + 2.220446049250313e-16);
                ASSERT_TRUE(sameBits(result.columns.column(x)[k], db)) << x << " " << k;
            }
        }
    }
}

TEST(WelchStream, SameBitsAsTheWholeRangeInAnyBlocks)
{
    struct Row
    {
        size_t count;
        uint32_t n, v;
        size_t maxBlock;
        bool nonFinite;
    };
    const Row rows[] = {{100000, 256, 204, 5000, false}, {100000, 256, 204, 3, false}, {30000, 1024, 0, 777, true},
                        {9000, 64, 64, 100, false},      {100, 256, 204, 10, false},  {5000, 16, 20, 64, false}};
    for (const Row& r : rows) {
        const auto x = randomComplex(r.count, uint32_t(r.count + r.n), r.nonFinite);
        std::vector<double> i(r.count), q(r.count);
        for (size_t k = 0; k < r.count; ++k) {
            i[k] = x[k].real();
            q[k] = x[k].imag();
        }
        WelchStream stream(0, r.count, r.n, r.n, r.v);
        feed(stream, i, q, 0, r.count, r.maxBlock, r.n);
        const std::vector<double> got = stream.result();
        // The whole-range estimate (itself bit for bit the literal one where the
        // literal definition applies: at least one segment, V <= L).
        const std::vector<double> want = welchSpectrum(x, r.n, r.n, r.v);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_EQ(firstDifference(got.data(), want.data(), got.size()), -1) << r.count << " " << r.n;
    }
}

TEST(BlockStream, MeanOfTheRangeAndCancellation)
{
    const size_t n = 3 * streamBlockSamples + 12345;
    const auto i = randomValues(n, 1);
    const auto q = randomValues(n, 2);
    const auto source = memorySamples(i, q);
    // The mean sums runs of meanBlockSamples from the range's start, then the runs.
    for (const auto& [first, end] : {std::pair<size_t, size_t>{0, n}, {777, n - 5}, {10, 11}, {5, 5}}) {
        double si = 0, sq = 0;
        for (size_t start = first; start < end; start += meanBlockSamples) {
            double ri = 0, rq = 0;
            for (size_t k = start; k < std::min(end, start + meanBlockSamples); ++k) {
                ri += i[k];
                rq += q[k];
            }
            si += ri;
            sq += rq;
        }
        WorkControl control;
        const DcOffset mean = rangeMean(*source, first, end, control);
        EXPECT_TRUE(mean.remove);
        EXPECT_TRUE(sameBits(mean.i, end > first ? si / double(end - first) : 0.0)) << first;
        EXPECT_TRUE(sameBits(mean.q, end > first ? sq / double(end - first) : 0.0)) << first;
    }
    // A cancelled pass stops with WorkCancelled and reports what it finished.
    WorkControl control;
    control.addPlanned(n);
    control.cancel();
    EXPECT_THROW(rangeMean(*source, 0, n, control), WorkCancelled);
    EXPECT_EQ(control.fraction(), 0.0);
}
