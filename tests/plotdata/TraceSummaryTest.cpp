// The trace's curve put together from what is kept of a band is the curve a
// pass over the range's samples gathers, point for point, for every range and
// both ways of keeping (every output, or blocks of runs); a squelch breaks it.

#include "io/SampleSource.h"
#include "plotdata/TracePass.h"
#include "plotdata/TraceSummaries.h"
#include "tests/signals/SignalGenerator.h"

#include <gtest/gtest.h>

#include <atomic>

#include <cmath>
#include <cstring>

namespace {

constexpr double rate = 1e6;

bool sameCurve(const ReducedCurve& a, const ReducedCurve& b)
{
    auto same = [](const std::vector<double>& u, const std::vector<double>& v) {
        return u.size() == v.size() && std::memcmp(u.data(), v.data(), u.size() * sizeof(double)) == 0;
    };
    return same(a.x, b.x) && same(a.y, b.y) && a.ranges.xMin == b.ranges.xMin && a.ranges.xMax == b.ranges.xMax
           && a.ranges.yMin == b.ranges.yMin && a.ranges.yMax == b.ranges.yMax && a.sourcePoints == b.sourcePoints;
}

ReducedCurve passCurve(const SampleSource& source, const StreamRange& range, const TraceSettings& settings,
                       int width, std::shared_ptr<TraceSummaries> kept, bool expectKept)
{
    TracePass pass(range, rate, source.size(), settings, width, kept);
    WorkControl control;
    EXPECT_EQ(computeFromSummaries(source, DcOffset{}, {&pass}, control).empty(), expectKept);
    if (!expectKept)
        runPasses(source, range, DcOffset{}, {&pass}, control);
    return pass.curve();
}

} // namespace

TEST(TraceSummary, CurvesFromKeptBandEqualCurvesFromSamples)
{
    const std::size_t n = std::size_t(1) << 22;
    testsignals::Iq x = testsignals::fmTone(n, rate, 100e3, 1000, 20e3, 0.5);
    x.add(testsignals::noise(n, 1e-4, 17));
    const auto source = memorySamples(x.i, x.q);
    struct
    {
        TraceKind kind;
        double low, high;
        uint64_t budget;
    } rows[] = {
        {TraceKind::Frequency, 50e3, 150e3, uint64_t(32) << 20},  // every output kept
        {TraceKind::Amplitude, -100e3, 300e3, uint64_t(1) << 20}, // blocks of runs
    };
    const int width = 300;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.high);
        TraceSettings settings;
        settings.kind = row.kind;
        settings.low = row.low;
        settings.high = row.high;
        auto kept = std::make_shared<TraceSummaries>(row.budget);
        const ReducedCurve whole = passCurve(*source, {0, n}, settings, width, kept, false);
        ASSERT_GT(whole.x.size(), 100u);
        // Built on the way: the whole range again, and parts of it, from what is kept.
        for (auto [first, end] : {std::pair<uint64_t, uint64_t>{0, n}, {12345, n - 999}, {n / 3, n / 2 + 7}}) {
            const ReducedCurve fromKept = passCurve(*source, {first, end}, settings, width, kept, true);
            const ReducedCurve fromSamples = passCurve(*source, {first, end}, settings, width, nullptr, false);
            EXPECT_TRUE(sameCurve(fromKept, fromSamples)) << first;
        }
    }
}

TEST(TraceSummary, SquelchBreaksTheCurveBetweenBursts)
{
    const std::size_t burst = 20000, gap = 60000;
    testsignals::Iq x = testsignals::noise(gap * 3 + burst * 2, 1e-8, 3);
    x.add(testsignals::fmTone(burst, rate, 10e3, 500, 5e3, 0.5), gap);
    x.add(testsignals::fmTone(burst, rate, 10e3, 500, 5e3, 0.5), 2 * gap + burst);
    const auto source = memorySamples(x.i, x.q);
    TraceSettings settings;
    settings.low = 0;
    settings.high = 20e3;
    settings.squelchDb = 10;
    TracePass pass({0, x.size()}, rate, x.size(), settings, 400);
    WorkControl control;
    runComputations(*source, {0, x.size()}, DcOffset{}, {&pass}, control);
    ASSERT_TRUE(pass.noiseFloor());
    const ReducedCurve& curve = pass.curve();
    // Two pieces, each one burst: one break between them, none before or after.
    std::size_t breaks = 0;
    for (std::size_t k = 0; k < curve.y.size(); ++k)
        breaks += std::isnan(curve.y[k]);
    EXPECT_EQ(breaks, 1u);
    ASSERT_FALSE(curve.x.empty());
    EXPECT_NEAR(curve.x.front(), gap / rate, 1e-3); // the filter reaches 0.8 ms
    EXPECT_NEAR(curve.x.back(), (2 * gap + 2 * burst) / rate, 1e-3);
    EXPECT_EQ(curve.ranges.xMin, 0.0);
    EXPECT_EQ(curve.ranges.xMax, (x.size() - 1) / rate);
}

// Counts the samples read through it.
class CountingSource final : public SampleSource
{
public:
    explicit CountingSource(std::shared_ptr<const SampleSource> inner) : inner(std::move(inner)) {}
    uint64_t size() const override { return inner->size(); }
    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        samplesRead += count;
        inner->read(first, count, i, q);
    }
    mutable std::atomic<uint64_t> samplesRead{0};

private:
    std::shared_ptr<const SampleSource> inner;
};

TEST(TraceSummary, SketchReadsAFewOutputsPerColumn)
{
    const std::size_t n = std::size_t(1) << 22;
    const testsignals::Iq x = testsignals::fmTone(n, rate, 100e3, 1000, 20e3, 0.5);
    const auto source = memorySamples(x.i, x.q);
    struct Row
    {
        double low, high;
        int width;
        std::size_t fewestPoints; // every column, or every other where the filter reaches far
        bool wholeSweep;          // the band holds the tone's whole sweep
    };
    const Row rows[] = {{50e3, 150e3, 400, 400, true}, {99.9e3, 100.1e3, 120, 16, false}};
    TraceSettings settings;
    for (const Row& r : rows) {
        settings.low = r.low;
        settings.high = r.high;
        TracePass whole({0, n}, rate, n, settings, r.width);
        WorkControl control;
        runComputations(*source, {0, n}, DcOffset{}, {&whole}, control);
        TracePass sketched({0, n}, rate, n, settings, r.width);
        EXPECT_FALSE(sketched.sketchFromSummaries(DcOffset{})); // nothing to read from
        const auto counting = std::make_shared<CountingSource>(source);
        sketched.setSketchSource(counting);
        ASSERT_TRUE(sketched.sketchFromSummaries(DcOffset{})) << r.low;
        // A sketch reads a few million samples at most, however far the filter reaches.
        EXPECT_LE(counting->samplesRead, uint64_t(1) << 22) << r.low;
        const ReducedCurve& coarse = sketched.curve();
        // A few points per column sketched, each one of the pass's values, within its range.
        EXPECT_GE(coarse.x.size(), r.fewestPoints) << r.low;
        EXPECT_EQ(coarse.ranges.xMin, whole.curve().ranges.xMin);
        EXPECT_EQ(coarse.ranges.xMax, whole.curve().ranges.xMax);
        EXPECT_GE(coarse.ranges.yMin, whole.curve().ranges.yMin) << r.low;
        EXPECT_LE(coarse.ranges.yMax, whole.curve().ranges.yMax) << r.low;
        if (r.wholeSweep) {
            EXPECT_LT(coarse.ranges.yMax - coarse.ranges.yMin, 41e3);
            EXPECT_GT(coarse.ranges.yMax - coarse.ranges.yMin, 30e3);
        }
    }
    // The phase and a squelch are never sketched.
    settings.kind = TraceKind::Phase;
    TracePass phase({0, n}, rate, n, settings, 400);
    phase.setSketchSource(source);
    EXPECT_FALSE(phase.sketchFromSummaries(DcOffset{}));
}
