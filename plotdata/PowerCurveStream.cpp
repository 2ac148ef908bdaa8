// Streamed moving-average power curve.

#include "plotdata/PowerCurveStream.h"

#include "dsp/ParallelParts.h"
#include "plotdata/PlotMath.h"

#include <algorithm>

namespace {

// Fewer windows than this per thread are not worth a thread.
constexpr size_t minWindowsPerPart = size_t(1) << 18;

} // namespace

PowerCurveStream::PowerCurveStream(uint64_t first, uint64_t n, double fs,
                                   const PowerCurveSettings& settings, double xMin, double xMax,
                                   int width)
    : n(n), w(settings.window),
      scale(settings.fullScaleValue, settings.fullScaleVoltage, settings.inputImpedance,
            settings.relativeToFullScale),
      envelope(xMin, xMax, width, first, fs)
{
}

void PowerCurveStream::consume(uint64_t, size_t count, const double* i, const double* q,
                               WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    consumed += count;

    if (w <= 1) {
        // Every sample on its own.
        values.resize(count);
        for (size_t j = 0; j < count; ++j)
            values[j] = scale(i[j], q[j]);
        decibelsInPlace(values.data(), count, scale.decibelFactor);
        envelope.add(values.data(), count);
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

    const size_t held = powers.size();
    powers.resize(held + count);
    for (size_t j = 0; j < count; ++j)
        powers[held + j] = scale(i[j], q[j]);
    const uint64_t available = powerBase + powers.size();
    const uint64_t windows = n - w;
    const uint64_t blocks = (windows + w - 1) / w;
    // Blocks whose powers are all here: block b reads up to min(n, (b + 2) w),
    // so before the last power arrives blocks up to available / w - 2 can go.
    uint64_t end = blocks;
    if (available < n)
        end = std::min<uint64_t>(blocks, available / w >= 2 ? available / w - 1 : 0);
    end = std::max(end, nextBlock);
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
                              static_cast<size_t>(startK), scale.decibelFactor);
        });
        if (nextBlock == 0)
            envelope.addConstant(values[0], static_cast<size_t>(h)); // the first window's value
        envelope.add(values.data(), values.size());
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
        decibelsInPlace(&d, 1, scale.decibelFactor / static_cast<double>(n));
        envelope.addConstant(d, static_cast<size_t>(n));
        return;
    }
    if (w > 1) {
        // Past the last window: its value repeated.
        const uint64_t h = w / 2 - 1;
        const uint64_t tailStart = h + (n - w);
        envelope.addConstant(lastValue, static_cast<size_t>(n - tailStart));
    }
}

std::unique_ptr<CurvePass> powerCurvePass(const StreamRange& range, double fs,
                                          const PowerCurveSettings& settings, int width)
{
    return std::make_unique<CurvePass>(
        std::vector<CurveFrame>{rangeFrame(range, fs)},
        [range, fs, settings, width](const std::vector<CurveFrame>& frames) {
            return std::make_unique<PowerCurveStream>(range.first, range.size(), fs, settings,
                                                      frames[0].xMin, frames[0].xMax, width);
        });
}
