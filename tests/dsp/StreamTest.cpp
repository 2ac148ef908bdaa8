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
    };
    const Row rows[] = {
        {8, 0.8, 20000, 0, 20000, 100000, 4096, false}, // one column per time column
        {8, 0.8, 20000, 333, 15000, 100000, 7, false},  // tiny blocks, range inside
        {8, 0.8, 20000, 0, 20000, 37, 3000, false},     // pooled into 37
        {4, 0.5, 5000, 10, 4900, 64, 100, true},        // NaN and infinities
        {6, 1.0, 3000, 0, 3000, 1000, 500, false},      // hop 1
        {5, -1.0, 3000, 0, 3000, 1000, 50, false},      // columns 64 apart, gaps between
        {10, 0.0, 1023, 0, 1023, 10, 100, false},       // too short for a column
    };
    for (const Row& r : rows) {
        const auto i = randomValues(r.count, 11 + r.exponent, r.nonFinite);
        const auto q = randomValues(r.count, 12 + r.exponent, r.nonFinite);
        const uint32_t n = uint32_t(1) << r.exponent;
        const auto expected = literal::spectrogram(i, q, 48000, int32_t(r.first),
                                                   uint32_t(r.first + r.length - 1), n, r.overlap);
        SpectrogramStream stream(r.first, r.length, r.exponent, r.overlap, 48000, r.maxColumns);
        feed(stream, i, q, r.first, r.first + r.length, r.maxBlock, r.exponent);
        const PooledSpectrogram got = stream.takeResult();
        const size_t k = expected.columns.size();
        ASSERT_EQ(got.sourceColumns, k) << r.exponent;
        const size_t width = std::min(k, r.maxColumns);
        ASSERT_EQ(got.columns.size(), width);
        for (size_t x = 0; x < width; ++x) {
            const auto want = pooledColumn(expected.columns, x * k / width, (x + 1) * k / width);
            ASSERT_EQ(firstDifference(got.columns.column(x), want.data(), n), -1) << r.exponent << " column " << x;
        }
        if (k > 0) {
            EXPECT_TRUE(sameBits(got.maxValue, expected.maxValue)) << got.maxValue << " " << expected.maxValue;
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
