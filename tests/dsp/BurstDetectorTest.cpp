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

TEST(BurstDetector, Explore)
{
    for (const Row& row : {Row{1280, 0.2, 0.0, 50}, Row{51200, 0.005, 0.0, 20}, Row{4096, 0.0625, 0.0, 50},
                           Row{100000, 0.005, 10.0, 10}, Row{256, 0.2, 20.0, 50}, Row{20000, 0.02, 30.0, 20}}) {
        const Outcome o = run(row, 11);
        std::printf("len %zu B %.4f snr %.0f: found %zu/%zu extra %zu time %zu band %zu worst %.2f %.2f %.2f %.2f\n",
                    row.length, row.bandwidthShare, row.snrDb, o.found, o.planned, o.extra, o.timeOk, o.bandOk,
                    o.worstStart, o.worstStop, o.worstLow, o.worstHigh);
    }
    const BurstDetection d = detect(testsignals::noise(10000000, 1.0, 5));
    std::printf("noise floor %.3f dB/Hz, false %zu\n", d.noiseFloorDbHz, d.bursts.size());
}

TEST(BurstDetector, Debug)
{
    const Row row{20000, 0.02, 30.0, 4};
    const double B = row.bandwidthShare * rate;
    const std::size_t gap = 20000;
    const std::size_t count = gap + row.trials * (row.length + gap);
    const auto plans = testsignals::burstTrain(count, row.length, B, row.snrDb, gap, rate, 11);
    const BurstDetection d = detect(testsignals::burstRecording(count, rate, 1.0, plans, 12));
    for (const auto& p : plans)
        std::printf("plan %zu %zu %.0f %.0f\n", p.start, p.length, p.low, p.high);
    for (const auto& b : d.bursts)
        std::printf("got  %llu %llu %.0f %.0f %.1f\n", (unsigned long long)b.sampleStart,
                    (unsigned long long)b.sampleCount, b.lowHz, b.highHz, b.snrDb);
}

TEST(BurstDetector, NoiseSpeed)
{
    const auto iq = testsignals::noise(10000000, 1.0, 5);
    const auto t0 = std::chrono::steady_clock::now();
    const BurstDetection d = detect(iq);
    std::printf("noise-only 1e7: %zu bursts, %.3f s\n", d.bursts.size(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
}
