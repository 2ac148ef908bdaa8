// Streamed moving-average power curve.

#include "views/PowerCurveStream.h"

#include "dsp/ParallelParts.h"
#include "views/PlotMath.h"

#include <algorithm>

namespace {

// Fewer windows than this per thread are not worth a thread.
constexpr size_t minWindowsPerPart = size_t(1) << 18;

} // namespace

PowerCurveStream::PowerCurveStream(uint64_t first, uint64_t n, double fs,
                                   const PowerCurveSettings& settings, double xMin, double xMax,
                                   int width)
    : first(first), n(n), fs(fs), w(settings.window),
      scale(settings.fullScaleValue, settings.fullScaleVoltage, settings.inputImpedance),
      envelope(xMin, xMax, width)
{
}

void PowerCurveStream::feed(uint64_t k, const double* d, size_t count)
{
    times.resize(count);
    for (size_t j = 0; j < count; ++j)
        times[j] = static_cast<double>(first + k + j) / fs;
    envelope.add(times.data(), d, count);
}

void PowerCurveStream::feedConstant(uint64_t k, double value, size_t count)
{
    constexpr size_t chunk = size_t(1) << 16;
    for (size_t done = 0; done < count; done += chunk) {
        const size_t length = std::min(chunk, count - done);
        times.resize(length);
        for (size_t j = 0; j < length; ++j)
            times[j] = static_cast<double>(first + k + done + j) / fs;
        envelope.addConstant(times.data(), value, length);
    }
}

void PowerCurveStream::consume(uint64_t, size_t count, const double* i, const double* q,
                               WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    const uint64_t k0 = consumed;
    consumed += count;

    if (w <= 1) {
        // Every sample on its own.
        values.resize(count);
        for (size_t j = 0; j < count; ++j)
            values[j] = scale(i[j], q[j]);
        decibelsInPlace(values.data(), count, 1000.0);
        feed(k0, values.data(), count);
        return;
    }
    if (n <= w) {
        // One mean over everything, summed in order.
        for (size_t j = 0; j < count; ++j)
            sum += scale(i[j], q[j]);
        if (consumed == n)
            finish();
        return;
    }

    for (size_t j = 0; j < count; ++j)
        powers.push_back(scale(i[j], q[j]));
    const uint64_t available = powerBase + powers.size();
    const uint64_t windows = n - w;
    const uint64_t blocks = (windows + w - 1) / w;
    // Blocks whose powers are all here: block b reads up to min(n, (b + 2) w).
    uint64_t end = nextBlock;
    while (end < blocks && std::min<uint64_t>(n, (end + 2) * w) <= available)
        ++end;
    if (end > nextBlock) {
        const uint64_t h = w / 2 - 1;
        const uint64_t startK = nextBlock * w + h;
        const uint64_t stopK = std::min<uint64_t>(windows, end * w) + h;
        values.resize(static_cast<size_t>(stopK - startK));
        const double* p = powers.data();
        const uint64_t base = powerBase;
        auto power = [p, base](size_t k) { return p[k - base]; };
        const size_t batch = static_cast<size_t>(end - nextBlock);
        const size_t parts =
            std::min(batch, partCount(static_cast<size_t>(stopK - startK), minWindowsPerPart));
        const uint64_t b0 = nextBlock;
        runParts(parts, [&](size_t t) {
            powerWindowBlocks(power, static_cast<size_t>(n), w,
                              static_cast<size_t>(b0 + batch * t / parts),
                              static_cast<size_t>(b0 + batch * (t + 1) / parts), values.data(),
                              static_cast<size_t>(startK));
        });
        if (nextBlock == 0)
            feedConstant(0, values[0], static_cast<size_t>(h)); // the first windows' value
        feed(startK, values.data(), values.size());
        lastValue = values.back();
        nextBlock = end;
        const uint64_t keepFrom = std::min(nextBlock * w, available);
        powers.erase(powers.begin(), powers.begin() + static_cast<ptrdiff_t>(keepFrom - powerBase));
        powerBase = keepFrom;
    }
    if (consumed == n)
        finish();
}

void PowerCurveStream::finish()
{
    if (w > 1 && n <= w) {
        double d = sum;
        decibelsInPlace(&d, 1, 1000.0 / static_cast<double>(n));
        feedConstant(0, d, static_cast<size_t>(n));
        return;
    }
    if (w > 1) {
        // Past the last window: its value repeated.
        const uint64_t h = w / 2 - 1;
        const uint64_t tailStart = h + (n - w);
        feedConstant(tailStart, lastValue, static_cast<size_t>(n - tailStart));
    }
}
