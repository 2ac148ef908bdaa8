// The burst detector against generated recordings (tests/signals): detection
// at 0 dB, no burst in noise, and edges within their tolerances, over tables of
// lengths, bandwidths and SNRs. The full tables run from the benchmark
// (scripts/bench --benchmark_filter=BurstTable).

#include "dsp/BurstDetector.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"
#include "tests/signals/BurstRecording.h"
#include "tests/signals/BurstScore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

using testsignals::BurstPlan;
using testsignals::BurstScore;

constexpr double rate = 1e6;

BurstDetection detect(const testsignals::Iq& iq, double thresholdDb = 6.0)
{
    const auto source = memorySamples(iq.i, iq.q);
    BurstRequest request;
    request.sampleRate = rate;
    request.end = source->size();
    request.low = -rate / 2;
    request.high = rate / 2;
    request.thresholdDb = thresholdDb;
    WorkControl control;
    return detectBursts(*source, request, control);
}

struct Row
{
    std::size_t length;
    double bandwidthShare; // of the rate
    double snrDb;
    std::size_t trials;
};

// A train of `trials` bursts at random frequencies, gaps of max(length, 4096) samples.
BurstScore run(const Row& row, uint32_t seed)
{
    const double B = row.bandwidthShare * rate;
    const std::size_t gap = std::max<std::size_t>(row.length, 4096);
    const std::size_t count = gap + row.trials * (row.length + gap);
    const std::vector<BurstPlan> plans = testsignals::burstTrain(count, row.length, B, row.snrDb, gap, rate, seed);
    const BurstDetection d = detect(testsignals::burstRecording(count, rate, 1.0, plans, seed + 1));
    return testsignals::scoreBursts(d.bursts, plans, rate, rate / burstFftSize);
}

} // namespace

// Bursts of 256 in-band samples (length x bandwidth / rate) at 0 dB in-band
// SNR: found with probability 0.99 or more, over 200 bursts.
TEST(BurstDetector, FindsZeroDbBurstsOfAtLeast256InBandSamples)
{
    const Row rows[] = {
        {1280, 0.2, 0.0, 60},    // the widest band
        {4096, 0.0625, 0.0, 50},
        {25600, 0.01, 0.0, 50},
        {51200, 0.005, 0.0, 40}, // the narrowest band
    };
    std::size_t found = 0, planned = 0, extra = 0;
    for (const Row& row : rows) {
        const BurstScore s = run(row, 101);
        found += s.found;
        planned += s.planned;
        extra += s.extra;
    }
    ASSERT_GE(planned, 200u);
    EXPECT_GE(double(found) / double(planned), 0.99) << found << " of " << planned;
    // At 0 dB a burst may come out in two pieces, rarely.
    EXPECT_LE(double(extra), 0.01 * double(planned)) << extra;
}

// Noise alone: no burst in 10^7 samples at the default threshold, and the
// noise floor where the noise's density lies.
TEST(BurstDetector, FindsNothingInNoise)
{
    const BurstDetection d = detect(testsignals::noise(10000000, 1.0, 5));
    EXPECT_TRUE(d.bursts.empty()) << d.bursts.size() << " at " << d.bursts.front().sampleStart;
    EXPECT_NEAR(d.noiseFloorDbHz, -60.0, 0.05);
}

// Bursts standing out of the noise: all found, nothing else, band edges within
// their tolerance. Start and stop: within theirs at 20 dB and more; at 10 dB
// (where the band's power in time fluctuates as much as the burst's own)
// mostly, and never beyond twice it.
TEST(BurstDetector, EdgesWithinTheirTolerances)
{
    const Row rows[] = {
        {1280, 0.2, 10.0, 20},   {4096, 0.0625, 10.0, 20}, {100000, 0.005, 10.0, 6},
        {20000, 0.02, 20.0, 10}, {2048, 0.1, 30.0, 20},    {100000, 0.2, 30.0, 4},
    };
    for (const Row& row : rows) {
        const BurstScore s = run(row, 7);
        const std::string name = std::to_string(row.length) + " samples, " + std::to_string(row.bandwidthShare)
                                 + " of the rate, " + std::to_string(row.snrDb) + " dB";
        EXPECT_EQ(s.found, s.planned) << name;
        EXPECT_EQ(s.extra, 0u) << name;
        if (row.snrDb >= 20.0) {
            EXPECT_EQ(s.timeWithin, s.found) << name << ": worst " << s.worstTime << " tolerances";
        }
        EXPECT_GE(double(s.timeWithin), 0.7 * double(s.found)) << name;
        EXPECT_LE(s.worstTime, 2.0) << name;
        EXPECT_EQ(s.bandWithin, s.found) << name << ": worst " << s.worstBand << " tolerances";
    }
}

// Requests that make no sense are refused, not run.
TEST(BurstDetector, RefusesRequestsThatMakeNoSense)
{
    const auto source = memorySamples(std::vector<double>(1000, 0.0), std::vector<double>(1000, 0.0));
    struct Case
    {
        const char* what;
        void (*change)(BurstRequest&);
    };
    const Case cases[] = {
        {"a range of 255 samples", [](BurstRequest& r) { r.end = 255; }},
        {"a range past the end", [](BurstRequest& r) { r.end = 1001; }},
        {"a band beyond the rate", [](BurstRequest& r) { r.high = 0.6 * rate; }},
        {"an empty band", [](BurstRequest& r) { r.low = r.high = 0; }},
        {"a threshold of 0", [](BurstRequest& r) { r.thresholdDb = 0; }},
        {"a NaN threshold", [](BurstRequest& r) { r.thresholdDb = std::nan(""); }},
        {"a negative duration", [](BurstRequest& r) { r.minDuration = -1.0; }},
    };
    for (const Case& c : cases) {
        BurstRequest request;
        request.sampleRate = rate;
        request.end = 1000;
        request.low = -rate / 2;
        request.high = rate / 2;
        c.change(request);
        WorkControl control;
        EXPECT_THROW(detectBursts(*source, request, control), std::invalid_argument) << c.what;
    }
}

