// The spectrogram put together from the pooled groups kept for the whole
// recording: the columns a pass over the range gives, bit for bit.

#include "io/SampleSource.h"
#include "plotdata/SpectrogramSummary.h"
#include "tests/plotdata/SummaryTestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

constexpr double rate = 48000;

// Noise with a burst and a few NaN, as a source in memory.
std::shared_ptr<const SampleSource> noiseWithBurst(size_t count)
{
    std::mt19937_64 rng(9);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> i(count), q(count);
    for (size_t k = 0; k < count; ++k) {
        const double gain = k > count / 3 && k < count / 3 + 300 ? 100.0 : 1.0;
        i[k] = gain * normal(rng);
        q[k] = gain * normal(rng);
    }
    i[count / 2] = std::nan("");
    return memorySamples(std::move(i), std::move(q));
}

// The summary of the whole source built by a stream over it, in `store`.
void build(SpectrogramSummary& summary, const SampleSource& source, std::shared_ptr<SummaryStore> store)
{
    summary.setStore(std::move(store));
    SpectrogramStream whole(0, source.size(), summary.exponent(), summary.overlap(), rate, 100);
    const std::unique_ptr<PooledColumnSink> builder = summary.builder();
    whole.addSink(summary.poolings().front(), builder.get());
    WorkControl control;
    streamRange(source, 0, source.size(), summary.offset(), {&whole}, control);
    ASSERT_TRUE(summary.store()->finish());
}

} // namespace

TEST(SpectrogramSummary, RangesPutTogetherAreTheirPasses)
{
    const size_t count = 300000;
    const auto source = noiseWithBurst(count);
    const DcOffset offset{0.25, -0.5, true};
    // 18,747 time columns of 64 points, 16 apart; the ladder 8, 32, 128, ...
    SpectrogramSummary summary(count, rate, 6, 0.75, offset, 1 << 20);
    ASSERT_EQ(summary.poolings().front(), 8u);
    TemporaryFolder folder;
    for (bool inFile : {false, true}) {
        std::shared_ptr<SummaryStore> store =
            inFile ? std::make_shared<SummaryStore>(summary.layout(), folder.file("s.nsum"), summary.key())
                   : std::make_shared<SummaryStore>(summary.layout());
        build(summary, *source, store);
        struct Row
        {
            uint64_t first, length, maxColumns;
            bool served;
        };
        const Row rows[] = {
            {0, count, 100, true},           // the whole: pooled by 256
            {0, count, 2400, true},          // by 8, the finest kept
            {0, count, 2200, true},          // by 16, from the level of 8
            {0, count, 5000, false},         // by 4: finer than kept
            {12345, 170000, 700, true},      // ends partial: columns computed there
            {12345, 170000, 1, true},        // one column
            {count - 60000, 60000, 200, true},   // to the end
            {100003, 1000, 8, true},         // 58 grid columns in 8 groups, partial at both ends
            {100000, 2000, 1000, false},     // own columns: not pooled
        };
        for (const Row& r : rows) {
            SpectrogramStream fresh(r.first, r.length, 6, 0.75, rate, r.maxColumns);
            WorkControl control;
            streamRange(*source, r.first, r.first + r.length, offset, {&fresh}, control);
            const PooledSpectrogram want = fresh.takeResult();
            ASSERT_EQ(summary.serves(fresh.grouping(), 6, 0.75, offset), r.served) << r.first << " " << r.maxColumns;
            if (!r.served)
                continue;
            // Anything else than what it was built with is not served.
            EXPECT_FALSE(summary.serves(fresh.grouping(), 7, 0.75, offset));
            EXPECT_FALSE(summary.serves(fresh.grouping(), 6, 0.5, offset));
            EXPECT_FALSE(summary.serves(fresh.grouping(), 6, 0.75, DcOffset{0.25, -0.5, false}));
            const std::optional<PooledSpectrogram> got = summary.pooledColumns(fresh.grouping(), *source, control);
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(got->sourceColumns, want.sourceColumns);
            ASSERT_EQ(got->columns.size(), want.columns.size()) << r.first << " " << r.maxColumns;
            EXPECT_EQ(std::memcmp(got->columns.column(0), want.columns.column(0),
                                  want.columns.size() * 64 * sizeof(double)),
                      0)
                << r.first << " " << r.maxColumns << (inFile ? " file" : " memory");
            EXPECT_EQ(std::memcmp(&got->maxValue, &want.maxValue, sizeof(double)), 0);
        }
    }
}
