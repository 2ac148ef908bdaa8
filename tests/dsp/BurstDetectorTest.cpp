// The burst detector against generated recordings: detection, false alarms
// and edge errors over a table of lengths, bandwidths and SNRs.

#include "dsp/BurstDetector.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"
#include "tests/signals/BurstRecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>

namespace {

using testsignals::BurstPlan;

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

// The detected burst that overlaps the planned one most in time, if any overlaps in time and band.
const Burst* match(const BurstDetection& d, const BurstPlan& p)
{
    const Burst* best = nullptr;
    uint64_t most = 0;
    for (const Burst& b : d.bursts) {
        const uint64_t lo = std::max<uint64_t>(b.sampleStart, p.start);
        const uint64_t hi = std::min<uint64_t>(b.sampleStart + b.sampleCount, p.start + p.length);
        if (hi > lo && hi - lo > most && b.lowHz < p.high && p.low < b.highHz) {
            most = hi - lo;
            best = &b;
        }
    }
    return best;
}

struct Row
{
    std::size_t length;
    double bandwidthShare; // of the rate
    double snrDb;
    std::size_t trials;
};

struct Outcome
{
    std::size_t found = 0;
    std::size_t planned = 0;
    std::size_t extra = 0;
    std::size_t timeOk = 0;
    std::size_t bandOk = 0;
    double worstStart = 0, worstStop = 0, worstLow = 0, worstHigh = 0;
};

Outcome run(const Row& row, uint32_t seed)
{
    const double B = row.bandwidthShare * rate;
    const std::size_t gap = std::max<std::size_t>(row.length, 4096);
    const std::size_t count = gap + row.trials * (row.length + gap);
    const std::vector<BurstPlan> plans = testsignals::burstTrain(count, row.length, B, row.snrDb, gap, rate, seed);
    const BurstDetection d = detect(testsignals::burstRecording(count, rate, 1.0, plans, seed + 1));
    Outcome o;
    o.planned = plans.size();
    std::size_t matched = 0;
    const double binHz = rate / burstFftSize;
    for (const BurstPlan& p : plans) {
        const Burst* b = match(d, p);
        if (!b)
            continue;
        ++o.found;
        ++matched;
        const double timeTolerance = std::max({2.0, 0.01 * row.length, rate / B});
        const double startError = std::abs(double(b->sampleStart) - double(p.start));
        const double stopError = std::abs(double(b->sampleStart + b->sampleCount) - double(p.start + p.length));
        const double bandTolerance = std::max(0.1 * B, binHz);
        const double lowError = std::abs(b->lowHz - p.low), highError = std::abs(b->highHz - p.high);
        o.timeOk += startError <= timeTolerance && stopError <= timeTolerance;
        o.bandOk += lowError <= bandTolerance && highError <= bandTolerance;
        o.worstStart = std::max(o.worstStart, startError / timeTolerance);
        o.worstStop = std::max(o.worstStop, stopError / timeTolerance);
        o.worstLow = std::max(o.worstLow, lowError / bandTolerance);
        o.worstHigh = std::max(o.worstHigh, highError / bandTolerance);
    }
    o.extra = d.bursts.size() > matched ? d.bursts.size() - matched : 0;
    return o;
}

} // namespace

// Bursts of at least 256 in-band samples (length x bandwidth / rate) at 0 dB
// in-band SNR: found with probability 0.99 or more, over 200 bursts.
TEST(BurstDetector, FindsZeroDbBurstsOfAtLeast256InBandSamples)
{
    const Row rows[] = {
        {1280, 0.2, 0.0, 60},   // 256 in-band samples, the widest band
        {4096, 0.0625, 0.0, 50}, // 256, a middle band
        {25600, 0.01, 0.0, 50},  // 256, narrow
        {51200, 0.005, 0.0, 40}, // 256, the narrowest band
    };
    std::size_t found = 0, planned = 0;
    for (const Row& row : rows) {
        const Outcome o = run(row, 101);
        found += o.found;
        planned += o.planned;
        EXPECT_EQ(o.extra, 0u) << row.length;
    }
    ASSERT_GE(planned, 200u);
    EXPECT_GE(double(found) / double(planned), 0.99) << found << " of " << planned;
}

// Noise alone: no burst in 10^7 samples at the default threshold, and the
// noise floor where the noise's density lies.
TEST(BurstDetector, FindsNothingInNoise)
{
    const BurstDetection d = detect(testsignals::noise(10000000, 1.0, 5));
    EXPECT_TRUE(d.bursts.empty()) << d.bursts.size() << " at " << d.bursts.front().sampleStart;
    EXPECT_NEAR(d.noiseFloorDbHz, -60.0, 0.05);
}

// Edges of bursts standing out of the noise: start and stop within max(2
// samples, 1 % of the length, rate / bandwidth), band edges within max(10 % of
// the bandwidth, one bin); nothing found but the bursts.
TEST(BurstDetector, EdgesWithinTheirTolerances)
{
    const Row rows[] = {
        {1280, 0.2, 10.0, 20},  {4096, 0.0625, 10.0, 20}, {100000, 0.005, 10.0, 6},
        {20000, 0.02, 20.0, 10}, {2048, 0.1, 30.0, 20},   {100000, 0.2, 30.0, 4},
    };
    for (const Row& row : rows) {
        const Outcome o = run(row, 7);
        EXPECT_EQ(o.found, o.planned) << row.length << " " << row.bandwidthShare << " " << row.snrDb;
        EXPECT_EQ(o.extra, 0u) << row.length << " " << row.bandwidthShare << " " << row.snrDb;
        EXPECT_EQ(o.timeOk, o.found) << row.length << " " << row.bandwidthShare << " " << row.snrDb
                                     << ": worst start " << o.worstStart << ", stop " << o.worstStop
                                     << " tolerances";
        EXPECT_EQ(o.bandOk, o.found) << row.length << " " << row.bandwidthShare << " " << row.snrDb
                                     << ": worst low " << o.worstLow << ", high " << o.worstHigh << " tolerances";
    }
}
