#pragma once
// How well found bursts match planned ones (tests/signals/BurstRecording): which
// planned bursts were found, how many found ones match none, and how far their
// edges lie from the planned ones against the tolerances: start and stop within
// max(2 samples, 1 % of the length, rate / bandwidth), band edges within
// max(10 % of the bandwidth, one bin). Found bursts are any type with
// sampleStart, sampleCount, lowHz and highHz (header only: no library of ours).

#include "tests/signals/BurstRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace testsignals {

struct BurstScore
{
    std::size_t planned = 0;
    std::size_t found = 0;
    // Found bursts that match no planned one.
    std::size_t extra = 0;
    // Of those found: edges within their tolerances.
    std::size_t timeWithin = 0;
    std::size_t bandWithin = 0;
    // The largest errors over their tolerance.
    double worstTime = 0.0;
    double worstBand = 0.0;
    // Mean absolute errors: start and stop in samples, edges in hertz.
    double meanTimeError = 0.0;
    double meanBandError = 0.0;
};

// binHz: the detector's bin width.
template <typename Found>
BurstScore scoreBursts(const std::vector<Found>& found, const std::vector<BurstPlan>& plans, double rate,
                       double binHz)
{
    BurstScore s;
    s.planned = plans.size();
    std::vector<char> used(found.size(), 0);
    for (const BurstPlan& p : plans) {
        // The found burst that overlaps it most in time, among those overlapping its band.
        std::size_t best = found.size();
        uint64_t most = 0;
        for (std::size_t k = 0; k < found.size(); ++k) {
            const Found& b = found[k];
            const uint64_t lo = std::max<uint64_t>(b.sampleStart, p.start);
            const uint64_t hi = std::min<uint64_t>(b.sampleStart + b.sampleCount, p.start + p.length);
            if (hi > lo && hi - lo > most && b.lowHz < p.high && p.low < b.highHz) {
                most = hi - lo;
                best = k;
            }
        }
        if (best == found.size())
            continue;
        used[best] = 1;
        const Found& b = found[best];
        ++s.found;
        const double B = p.high - p.low;
        const double timeTolerance = std::max({2.0, 0.01 * double(p.length), rate / B});
        const double bandTolerance = std::max(0.1 * B, binHz);
        const double startError = std::abs(double(b.sampleStart) - double(p.start));
        const double stopError = std::abs(double(b.sampleStart + b.sampleCount) - double(p.start + p.length));
        const double lowError = std::abs(b.lowHz - p.low), highError = std::abs(b.highHz - p.high);
        s.timeWithin += startError <= timeTolerance && stopError <= timeTolerance;
        s.bandWithin += lowError <= bandTolerance && highError <= bandTolerance;
        s.worstTime = std::max({s.worstTime, startError / timeTolerance, stopError / timeTolerance});
        s.worstBand = std::max({s.worstBand, lowError / bandTolerance, highError / bandTolerance});
        s.meanTimeError += (startError + stopError) / 2;
        s.meanBandError += (lowError + highError) / 2;
    }
    for (char u : used)
        s.extra += u ? 0 : 1;
    if (s.found > 0) {
        s.meanTimeError /= double(s.found);
        s.meanBandError /= double(s.found);
    }
    return s;
}

} // namespace testsignals
