// What a band carries, from known signals: FSK frequencies at symbol centres,
// the levels of a stepped tone, BPSK's phase jumps, the squelch between bursts,
// and the same values whatever the blocks and the range.

#include "dsp/BandTrace.h"
#include "dsp/PowerMedian.h"
#include "tests/dsp/TestSignals.h"
#include "tests/signals/SignalGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr double rate = 240000;
constexpr std::size_t symbolSamples = 400;

TraceRequest requestFor(TraceKind kind, const testsignals::Iq& x, double low, double high)
{
    TraceRequest r;
    r.kind = kind;
    r.sampleRate = rate;
    r.recordingSamples = x.size();
    r.low = low;
    r.high = high;
    r.first = 0;
    r.end = x.size();
    return r;
}

// The output nearest to input sample `at` of a trace of the whole recording.
std::size_t outputAt(const BandTrace& trace, std::size_t at)
{
    return static_cast<std::size_t>(std::llround(static_cast<double>(at) / trace.decimation()));
}

testsignals::Iq withFloor(testsignals::Iq x, uint32_t seed)
{
    x.add(testsignals::noise(x.size(), 1e-12, seed));
    return x;
}

} // namespace

TEST(BandTrace, FskFrequencyAtSymbolCentres)
{
    const std::vector<int> bits = testsignals::randomBits(40, 11);
    struct
    {
        double deviation, centre, low, high;
    } rows[] = {{5000, 20000, 10000, 30000}, {2000, -40000, -46000, -34000}, {12000, 0, -20000, 20000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.centre);
        const testsignals::Iq x = withFloor(testsignals::fsk2(bits, rate, symbolSamples, row.deviation, row.centre, 0.5), 3);
        const TraceRequest request = requestFor(TraceKind::Frequency, x, row.low, row.high);
        const BandTrace trace(request);
        const std::vector<double> f = traceOf(request, x.i, x.q);
        ASSERT_EQ(f.size(), trace.outputCount());
        double worst = 0;
        // The first and last symbols meet the filter's edges of the recording.
        for (std::size_t s = 1; s + 1 < bits.size(); ++s) {
            const double expected = (bits[s] ? 1 : -1) * row.deviation + row.centre - (row.low + row.high) / 2;
            const double found = f.at(outputAt(trace, s * symbolSamples + symbolSamples / 2));
            worst = std::max(worst, std::abs(found - expected) / row.deviation);
        }
        EXPECT_LT(worst, 0.01);
        std::printf("FSK centre %g: worst error %.2e of the deviation\n", row.centre, worst);
    }
}

TEST(BandTrace, SteppedToneLevelsInDbfs)
{
    const std::vector<double> levels{-3, -10, -20, -33, -47, -60};
    struct
    {
        double fullScale, tone, low, high;
    } rows[] = {{1.0, 15000, 10000, 20000}, {32768.0, -50000, -60000, -45000}, {128.0, 0, -100000, 100000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tone);
        const std::size_t step = 3000;
        const testsignals::Iq x = testsignals::steppedTone(levels, step, rate, row.tone, row.fullScale);
        TraceRequest request = requestFor(TraceKind::Amplitude, x, row.low, row.high);
        request.fullScale = row.fullScale;
        const BandTrace trace(request);
        const std::vector<double> a = traceOf(request, x.i, x.q);
        double worst = 0;
        for (std::size_t k = 0; k < levels.size(); ++k)
            worst = std::max(worst, std::abs(a.at(outputAt(trace, k * step + step / 2)) - levels[k]));
        EXPECT_LT(worst, 0.1);
        std::printf("stepped tone at %g Hz: worst %.2e dB\n", row.tone, worst);
    }
}

TEST(BandTrace, BpskPhaseJumpsHalfATurn)
{
    const std::vector<int> bits = testsignals::randomBits(60, 5);
    for (const double centre : {20000.0, -7000.0}) {
        SCOPED_TRACE(centre);
        const testsignals::Iq x = withFloor(testsignals::bpsk(bits, rate, symbolSamples, centre, 0.3, 0.7), 9);
        const TraceRequest request = requestFor(TraceKind::Phase, x, centre - 8000, centre + 8000);
        const BandTrace trace(request);
        const std::vector<double> p = traceOf(request, x.i, x.q);
        double worst = 0;
        for (std::size_t s = 1; s + 1 < bits.size(); ++s) {
            const double before = p.at(outputAt(trace, (s - 1) * symbolSamples + symbolSamples / 2));
            const double after = p.at(outputAt(trace, s * symbolSamples + symbolSamples / 2));
            // The step folded into -180 ... 180 degrees.
            const double step = std::remainder(after - before, 360.0);
            const double expected = bits[s] == bits[s - 1] ? 0.0 : 180.0;
            worst = std::max(worst, std::abs(std::abs(step) - expected));
        }
        EXPECT_LT(worst, 5.0);
        std::printf("BPSK at %g Hz: worst %.3f degrees off\n", centre, worst);
    }
}

TEST(BandTrace, SameValuesForAnyBlocksAndRange)
{
    const testsignals::Iq x = testsignals::fsk2(testsignals::randomBits(30, 2), rate, 300, 4000, 12000, 0.4);
    for (TraceKind kind : {TraceKind::Amplitude, TraceKind::Frequency, TraceKind::Phase}) {
        SCOPED_TRACE(static_cast<int>(kind));
        TraceRequest request = requestFor(kind, x, 5000, 19000);
        request.squelchBelowDb = -30;
        const std::vector<double> whole = traceOf(request, x.i, x.q, x.size());
        for (std::size_t block : {1, 7, 1000, 65536}) {
            const std::vector<double> blocked = traceOf(request, x.i, x.q, block);
            ASSERT_EQ(blocked.size(), whole.size());
            EXPECT_EQ(firstDifference(blocked.data(), whole.data(), whole.size()), -1) << block;
        }
        // A range's outputs are the whole recording's (the phase up to whole turns).
        const BandTrace all(request);
        for (auto [first, end] : {std::pair<uint64_t, uint64_t>{1000, 5000}, {37, 8001}, {8500, 9000}}) {
            TraceRequest part = request;
            part.first = first;
            part.end = end;
            const BandTrace trace(part);
            const std::vector<double> values = traceOf(part, x.i, x.q, 333);
            ASSERT_EQ(values.size(), trace.outputCount());
            const std::size_t offset = trace.firstOutput() - all.firstOutput();
            if (kind != TraceKind::Phase) {
                for (std::size_t k = 0; k < values.size(); ++k)
                    ASSERT_TRUE(sameBits(values[k], whole[offset + k])) << first << " " << k;
                continue;
            }
            // Unwrapped from another first output: whole turns apart, up to rounding.
            const double turns = std::round((whole[offset] - values[0]) / 360.0);
            for (std::size_t k = 0; k < values.size(); ++k)
                ASSERT_NEAR(values[k] + 360.0 * turns, whole[offset + k], 1e-9) << first << " " << k;
        }
    }
}

TEST(BandTrace, AmplitudeOfTheSamplesABandExportWrites)
{
    const testsignals::Iq x = withFloor(testsignals::amTone(20000, rate, 30000, 300, 0.5, 0.25), 4);
    const TraceRequest request = requestFor(TraceKind::Amplitude, x, 20000, 40000);
    const std::vector<double> a = traceOf(request, x.i, x.q);
    BandExtractor exported(rate, 20000, 40000);
    std::vector<std::complex<double>> y;
    exported.process(0, x.size(), x.i.data(), x.q.data(), y);
    exported.flush(y);
    ASSERT_EQ(y.size(), a.size());
    for (std::size_t k = 0; k < y.size(); ++k) {
        const double re = static_cast<float>(y[k].real()), im = static_cast<float>(y[k].imag());
        ASSERT_TRUE(sameBits(a[k], 10.0 * std::log10(re * re + im * im))) << k;
    }
}

TEST(BandTrace, SquelchOpensOnBurstsOnly)
{
    // Three bursts of 2FSK at -10 dBFS in noise at -60 dBFS.
    const std::size_t gap = 12000, burst = 4000;
    testsignals::Iq x = testsignals::noise(3 * (gap + burst) + gap, 1e-6, 21);
    for (std::size_t b = 0; b < 3; ++b)
        x.add(testsignals::fsk2(testsignals::randomBits(10, 30 + b), rate, 400, 3000, 20000, std::sqrt(0.1)),
              gap + b * (gap + burst));
    TraceRequest request = requestFor(TraceKind::Amplitude, x, 12000, 28000);
    std::vector<double> values, powers;
    BandTrace first(request);
    first.consume(0, x.size(), x.i.data(), x.q.data(), values, &powers);
    first.finish(values, &powers);
    PowerMedian floor;
    floor.add(powers.data(), powers.size());
    ASSERT_TRUE(floor.median());
    // The band holds 16 kHz of the noise's 240 kHz, -71.8 dBFS; with a quarter
    // of the time in bursts the median is the noise's 2/3 quantile, ln 3 times its mean.
    EXPECT_NEAR(*floor.median(), -60 + 10 * std::log10(16000.0 / rate) + 10 * std::log10(std::log(3.0)), 0.5);
    for (TraceKind kind : {TraceKind::Frequency, TraceKind::Phase}) {
        request.kind = kind;
        request.squelchBelowDb = *floor.median() + 10;
        const BandTrace trace(request);
        const std::vector<double> f = traceOf(request, x.i, x.q);
        std::size_t gapsOpen = 0, burstsShut = 0;
        for (std::size_t k = 0; k < f.size(); ++k) {
            const std::size_t at = k * trace.decimation();
            bool inBurst = false;
            std::size_t nearest = SIZE_MAX;
            for (std::size_t b = 0; b < 3; ++b) {
                const std::size_t start = gap + b * (gap + burst);
                inBurst |= at >= start && at < start + burst;
                for (std::size_t edge : {start, start + burst})
                    nearest = std::min(nearest, at > edge ? at - edge : edge - at);
            }
            // Samples the filter and the squelch's average reach across an edge.
            if (nearest < 600)
                continue;
            gapsOpen += !inBurst && !std::isnan(f[k]);
            burstsShut += inBurst && std::isnan(f[k]);
        }
        EXPECT_EQ(gapsOpen, 0u);
        EXPECT_EQ(burstsShut, 0u);
    }
}

TEST(PowerMedian, MiddleValueToAHundredthOfADecibel)
{
    struct
    {
        std::vector<double> db;
        double median;
    } rows[] = {
        {{-80, -20, -50}, -50},
        {{1, 2, 3, 4}, 2},
        {{-INFINITY, -INFINITY, 10}, PowerMedian::lowestDb},
        {{NAN, 7.5, NAN}, 7.5},
        {{500, 600, 0}, PowerMedian::highestDb},
    };
    for (const auto& row : rows) {
        PowerMedian median;
        median.add(row.db.data(), row.db.size());
        ASSERT_TRUE(median.median());
        EXPECT_NEAR(*median.median(), row.median, PowerMedian::binDb);
    }
    EXPECT_FALSE(PowerMedian().median());
}
