// Streaming spectrogram with pooling by maximum.

#include "dsp/SpectrogramStream.h"

#include "dsp/FftBatch.h"
#include "dsp/Magnitude.h"
#include "dsp/ParallelParts.h"
#include "dsp/Spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double epsilon = 2.220446049250313e-16;
// Fewer time columns than this per thread are not worth a thread.
constexpr uint64_t minColumnsPerThread = 256;
// Time columns a thread computes between looks at the cancel flag.
constexpr uint64_t columnsBetweenChecks = 64;

// Output column of time column c (the inverse of pooledColumnStart).
uint64_t outputColumnOf(uint64_t c, uint64_t sourceColumns, uint64_t columns)
{
    return ((c + 1) * columns - 1) / sourceColumns;
}

} // namespace

uint32_t spectrogramHop(uint32_t N, double overlap)
{
    const double hop = std::trunc(static_cast<double>(N) * (1.0 - overlap));
    if (!(hop >= 1.0))
        return 1;
    if (hop >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
    return static_cast<uint32_t>(hop);
}

uint64_t spectrogramColumnCount(uint64_t length, uint32_t N, uint32_t hop)
{
    if (length < N || hop == 0)
        return 0;
    return (length - N) / hop + 1;
}

uint64_t pooledColumnStart(uint64_t x, uint64_t sourceColumns, uint64_t columns)
{
    return x * sourceColumns / columns;
}

SpectrogramStream::SpectrogramStream(uint64_t first, uint64_t length, uint32_t exponent,
                                     double overlap, double sampleRate, size_t maxColumns)
    : exponent(exponent), n(uint32_t(1) << exponent),
      hop(spectrogramHop(n, overlap)), sampleRate(sampleRate),
      sourceColumns(spectrogramColumnCount(length, n, hop)),
      outputColumns(std::min<uint64_t>(sourceColumns, std::max<size_t>(1, maxColumns))),
      largestMagnitude(0), segments(first, n, hop, sourceColumns)
{
    if (sourceColumns == 0)
        return;
    window = hannWindow(n);
    pooled.resize(outputColumns, n);
}

void SpectrogramStream::consume(uint64_t index, size_t count, const double* i, const double* q,
                                WorkControl& control)
{
    segments.consume(index, count, i, q,
                     [&](uint64_t c0, uint64_t c1, const double* iAt, const double* qAt) {
                         computeColumns(c0, c1, iAt, qAt, control);
                     });
}

void SpectrogramStream::computeColumns(uint64_t begin, uint64_t end, const double* i,
                                       const double* q, WorkControl& control)
{
    // Threads take runs of whole output columns, so no two write the same one;
    // an output column's first time column starts it, later ones are pooled in.
    const uint64_t xBegin = outputColumnOf(begin, sourceColumns, outputColumns);
    const uint64_t xEnd = outputColumnOf(end - 1, sourceColumns, outputColumns) + 1;
    const size_t parts = static_cast<size_t>(std::min<uint64_t>(
        partCount(static_cast<size_t>(end - begin), minColumnsPerThread), xEnd - xBegin));
    std::vector<double> largest(parts, 0.0);
    std::vector<char> found(parts, 0);
    runParts(parts, [&](size_t t) {
        const uint64_t x0 = xBegin + (xEnd - xBegin) * t / parts;
        const uint64_t x1 = xBegin + (xEnd - xBegin) * (t + 1) / parts;
        const uint64_t c0 = std::max(begin, pooledColumnStart(x0, sourceColumns, outputColumns));
        const uint64_t c1 = std::min(end, pooledColumnStart(x1, sourceColumns, outputColumns));
        FftBatch batch(exponent);
        const uint32_t lanes = batch.lanes();
        std::vector<double> magnitude(n);
        // The largest magnitude in four running maxima side by side; magnitudes
        // are never negative, so -1 means none yet, and a NaN never wins.
        double lanesMax[4] = {-1.0, -1.0, -1.0, -1.0};
        uint64_t sinceCheck = columnsBetweenChecks;
        for (uint64_t c = c0; c < c1; c += lanes) {
            if (sinceCheck >= columnsBetweenChecks) {
                control.check();
                sinceCheck = 0;
            }
            // Columns c ... c + count - 1 transformed side by side, then taken in order.
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lanes, c1 - c));
            sinceCheck += count;
            const double* iSeg[FftBatch::maxLanes];
            const double* qSeg[FftBatch::maxLanes];
            for (uint32_t l = 0; l < count; ++l) {
                const size_t s = static_cast<size_t>((c + l - begin) * hop);
                iSeg[l] = i + s;
                qSeg[l] = q + s;
            }
            batch.transformWindowed(count, iSeg, qSeg, window.data());
            for (uint32_t l = 0; l < count; ++l)
                poolColumn(c + l, batch.re(l), batch.im(l), magnitude.data(), lanesMax);
        }
        double top = std::max(std::max(lanesMax[0], lanesMax[1]), std::max(lanesMax[2], lanesMax[3]));
        largest[t] = top;
        found[t] = top >= 0.0;
    });
    for (size_t t = 0; t < parts; ++t) {
        if (!found[t])
            continue;
        if (!anyMagnitude || largest[t] > largestMagnitude)
            largestMagnitude = largest[t];
        anyMagnitude = true;
    }
}

void SpectrogramStream::poolColumn(uint64_t c, const double* re, const double* im, double* magnitude,
                                   double* lanesMax)
{
    // Upper half of the transform first (the negative frequencies), then the lower.
    const uint32_t half = n / 2;
    const double* a = magnitude;
    magnitudes(re + half, im + half, n - half, magnitude);
    magnitudes(re, im, half, magnitude + (n - half));
    const uint64_t x = outputColumnOf(c, sourceColumns, outputColumns);
    double* out = pooled.column(static_cast<size_t>(x));
    if (c == pooledColumnStart(x, sourceColumns, outputColumns)) {
        std::copy(a, a + n, out);
    } else {
        // A NaN held stays; a NaN arriving replaces what is held.
        for (uint32_t k = 0; k < n; ++k) {
            const double held = out[k];
            const double v = a[k];
            // Both tests always made (no short cut), so that this vectorises.
            const bool keep = (held != held) | (v <= held);
            out[k] = keep ? held : v;
        }
    }
    uint32_t k = 0;
    for (; k + 4 <= n; k += 4)
        for (int l = 0; l < 4; ++l)
            lanesMax[l] = a[k + l] > lanesMax[l] ? a[k + l] : lanesMax[l];
    for (; k < n; ++k)
        lanesMax[0] = a[k] > lanesMax[0] ? a[k] : lanesMax[0];
}

PooledSpectrogram SpectrogramStream::takeResult()
{
    PooledSpectrogram result;
    result.sourceColumns = sourceColumns;
    result.maxValue = std::numeric_limits<double>::lowest();
    if (sourceColumns == 0 || segments.done() < sourceColumns)
        return result;
    // N^2 is a power of two: dividing by it and multiplying by its reciprocal
    // round the same exact value.
    const double inverseNSquared = 1.0 / (double(n) * double(n));
    const double q = sampleRate / double(n);
    auto decibels = [&](double a) { return 10.0 * std::log10((a * a * inverseNSquared) / q + epsilon); };
    const size_t values = pooled.size() * pooled.rows();
    double* v = pooled.column(0);
    const size_t parts = partCount(values, size_t(1) << 16);
    runParts(parts, [&](size_t t) {
        for (size_t k = values * t / parts; k < values * (t + 1) / parts; ++k)
            v[k] = decibels(v[k]);
    });
    if (anyMagnitude)
        result.maxValue = decibels(largestMagnitude);
    result.columns = std::move(pooled);
    return result;
}
