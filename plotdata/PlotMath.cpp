// Plot ranges, sample ranges and the power curve.

#include "plotdata/PlotMath.h"

#include "plotdata/Decibels.h"
#include "plotdata/PowerWindows.h"
#include "dsp/ParallelParts.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>

int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

namespace {

void widenZeroExtent(double& low, double& high)
{
    if (low != high)
        return;
    const double v = low;
    // A tenth of values too small for it to register would leave the extent zero.
    const double d = std::fabs(v) < 1e-300 ? 1.0 : std::fabs(v) * 0.1;
    low = v - d;
    high = v + d;
    if (!std::isfinite(low))
        low = v;
    if (!std::isfinite(high))
        high = v;
}

} // namespace

namespace {

// Ranges of the points begin ... end - 1 whose coordinates are both finite.
PlotRanges finiteRanges(const double* x, const double* y, size_t begin, size_t end)
{
    PlotRanges r{0, 10, 0, 10, false};
    for (size_t k = begin; k < end; ++k) {
        const double xv = x[k];
        const double yv = y[k];
        if (!std::isfinite(xv) || !std::isfinite(yv))
            continue;
        if (!r.finite) {
            r = PlotRanges{xv, xv, yv, yv, true};
            continue;
        }
        if (xv < r.xMin)
            r.xMin = xv;
        if (xv > r.xMax)
            r.xMax = xv;
        if (yv < r.yMin)
            r.yMin = yv;
        if (yv > r.yMax)
            r.yMax = yv;
    }
    return r;
}

constexpr size_t minPointsPerPart = size_t(1) << 20;

} // namespace

PlotRanges plotRanges(const std::vector<double>& x, const std::vector<double>& y, bool symmetric)
{
    const size_t n = std::min(x.size(), y.size());
    // Long curves in contiguous parts on separate threads, merged in order with
    // the same strict comparisons: among equal extremes (0 and -0 among them)
    // the earliest is kept, as in one pass.
    const size_t parts = partCount(n, minPointsPerPart);
    std::vector<PlotRanges> partRanges(parts);
    runParts(parts, [&](size_t t) {
        partRanges[t] = finiteRanges(x.data(), y.data(), n * t / parts, n * (t + 1) / parts);
    });
    PlotRanges r = partRanges[0];
    for (size_t t = 1; t < parts; ++t) {
        const PlotRanges& p = partRanges[t];
        if (!p.finite)
            continue;
        if (!r.finite) {
            r = p;
            continue;
        }
        if (p.xMin < r.xMin)
            r.xMin = p.xMin;
        if (p.xMax > r.xMax)
            r.xMax = p.xMax;
        if (p.yMin < r.yMin)
            r.yMin = p.yMin;
        if (p.yMax > r.yMax)
            r.yMax = p.yMax;
    }
    return completePlotRanges(r, symmetric);
}

PlotRanges completePlotRanges(PlotRanges r, bool symmetric)
{
    if (!r.finite)
        return r;
    if (symmetric && r.yMin < 0 && r.yMax > 0) {
        if (-r.yMin > r.yMax)
            r.yMax = -r.yMin;
        else
            r.yMin = -r.yMax;
    }
    widenZeroExtent(r.xMin, r.xMax);
    widenZeroExtent(r.yMin, r.yMax);
    return r;
}

double sampleAtOrAfter(double fs, double t)
{
    double k = std::floor(fs * t);
    if (std::isfinite(k) && (k + 1) / fs <= t)
        k += 1;
    return k;
}

double sampleAtOrBefore(double fs, double t)
{
    double k = std::ceil(fs * t);
    if (std::isfinite(k) && (k - 1) / fs >= t)
        k -= 1;
    return k;
}

SampleRange sampleRange(double fs, uint32_t count, double startTime, double stopTime)
{
    // Clamped in double before any conversion: a NaN, negative or too large
    // index never reaches an integer type.
    auto clampIndex = [count](double index) -> uint32_t {
        if (!(index > 0))
            return 0;
        if (index >= static_cast<double>(count))
            return count;
        return static_cast<uint32_t>(index);
    };
    const uint32_t first = clampIndex(sampleAtOrAfter(fs, startTime));
    const uint32_t end = clampIndex(sampleAtOrBefore(fs, stopTime) + 1.0);
    return {first, std::max(first, end)};
}

std::vector<double> sampleTimes(const SampleRange& range, double fs)
{
    std::vector<double> t;
    sampleTimes(range, fs, t);
    return t;
}

void sampleTimes(const SampleRange& range, double fs, std::vector<double>& times)
{
    times.resize(range.size());
    for (uint32_t k = 0; k < range.size(); ++k)
        times[k] = static_cast<double>(range.first + k) / fs;
}

std::shared_ptr<const std::vector<double>> sharedSampleTimes(const SampleRange& range, double fs)
{
    static std::mutex mutex;
    static std::weak_ptr<const std::vector<double>> last;
    static SampleRange lastRange{0, 0};
    static double lastRate = 0;
    std::lock_guard<std::mutex> lock(mutex);
    if (range.first == lastRange.first && range.end == lastRange.end && fs == lastRate) {
        if (auto held = last.lock())
            return held;
    }
    auto times = std::make_shared<std::vector<double>>();
    sampleTimes(range, fs, *times);
    last = times;
    lastRange = range;
    lastRate = fs;
    return times;
}

std::vector<double> powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                               double fullScaleValue, double fullScaleVoltage,
                               double inputImpedance)
{
    std::vector<double> d(n);
    powerCurve(i, q, n, window, fullScaleValue, fullScaleVoltage, inputImpedance, d.data());
    return d;
}

void powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                double fullScaleValue, double fullScaleVoltage, double inputImpedance, double* d)
{
    powerCurve(i, q, n, window, fullScaleValue, fullScaleVoltage, inputImpedance, d, 0);
}

void powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                double fullScaleValue, double fullScaleVoltage, double inputImpedance, double* d,
                unsigned threads)
{
    const PowerScale scale(fullScaleValue, fullScaleVoltage, inputImpedance);
    auto power = [&](size_t k) { return scale(i[k], q[k]); };

    if (n == 0)
        return;
    // The dB conversion takes raw sums: mean / 0.001 = sum * (1000 / count).
    if (window <= 1) {
        for (size_t k = 0; k < n; ++k)
            d[k] = power(k);
        decibelsInPlace(d, n, 1000.0);
        return;
    }
    const size_t w = window;
    if (n <= w) {
        double sum = 0.0;
        for (size_t k = 0; k < n; ++k)
            sum += power(k);
        d[0] = sum;
        decibelsInPlace(d, 1, 1000.0 / static_cast<double>(n));
        std::fill(d + 1, d + n, d[0]);
        return;
    }

    // Windows start at j0 = 0 ... n - w - 1 and d[j0 + h] is the mean of
    // p[j0 ... j0 + w - 1], summed in blocks of w (see powerWindowBlocks).
    const size_t h = w / 2 - 1;
    const size_t windows = n - w;
    auto runBlocks = [&](size_t firstBlock, size_t endBlock) {
        powerWindowBlocks(power, n, w, firstBlock, endBlock, d, 0);
    };
    const size_t blocks = (windows + w - 1) / w;
    const size_t parts = threads == 0 ? std::min(blocks, partCount(windows, minPointsPerPart))
                                      : std::clamp<size_t>(threads, 1, blocks);
    runParts(parts, [&](size_t t) { runBlocks(blocks * t / parts, blocks * (t + 1) / parts); });
    for (size_t k = 0; k < h; ++k)
        d[k] = d[h];
    for (size_t k = h + windows; k < n; ++k)
        d[k] = d[h + windows - 1];
}
