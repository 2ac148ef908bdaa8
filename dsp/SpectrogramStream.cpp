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

// Pools `v` into `out` per bin: a NaN held stays, a NaN arriving replaces what
// is held.
void poolInto(double* out, const double* v, uint32_t n)
{
    for (uint32_t k = 0; k < n; ++k) {
        const double held = out[k];
        // Both tests always made (no short cut), so that this vectorises.
        const bool keep = (held != held) | (v[k] <= held);
        out[k] = keep ? held : v[k];
    }
}

} // namespace

double singlePrecisionMagnitude(double a)
{
    constexpr double largestFloat = std::numeric_limits<float>::max();
    if (a > largestFloat && a != std::numeric_limits<double>::infinity())
        return largestFloat;
    return std::isfinite(a) ? static_cast<double>(static_cast<float>(a)) : a;
}

double SpectrogramDecibels::operator()(double a) const
{
    return 10.0 * std::log10((a * a * inverseNSquared) / q + epsilon);
}

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

ColumnGrouping spectrogramGrouping(uint64_t first, uint64_t length, uint32_t N, uint32_t hop,
                                   uint64_t maxColumns)
{
    maxColumns = std::max<uint64_t>(1, maxColumns);
    hop = std::max<uint32_t>(1, hop);
    const uint64_t own = spectrogramColumnCount(length, N, hop);
    if (own <= maxColumns)
        return {first, 0, own, 1};
    // The grid's columns c with c hop >= first and c hop + N <= first + length.
    const uint64_t end = first + length;
    ColumnGrouping grouping{0, (first + hop - 1) / hop, (end - N) / hop + 1, 1};
    grouping.end = std::max(grouping.end, grouping.first);
    while (grouping.outputColumns() > maxColumns)
        grouping.pooling *= 2;
    return grouping;
}

SpectrogramStream::SpectrogramStream(uint64_t first, uint64_t length, uint32_t exponent,
                                     double overlap, double sampleRate, size_t maxColumns)
    : exponent(exponent), n(uint32_t(1) << exponent), hop(spectrogramHop(n, overlap)),
      sampleRate(sampleRate), group(spectrogramGrouping(first, length, n, hop, maxColumns)),
      segments(group.origin + group.first * hop, n, hop, group.timeColumns())
{
    if (group.timeColumns() == 0)
        return;
    window = hannWindow(n);
    Pooler result;
    result.pooling = group.pooling;
    result.base = group.first / group.pooling;
    result.held.resize(static_cast<size_t>(group.outputColumns()), n);
    result.largest.assign(static_cast<size_t>(group.outputColumns()), -1.0);
    poolers.push_back(std::move(result));
}

SpectrogramStream::SpectrogramStream(uint32_t exponent, double overlap, double sampleRate,
                                     uint64_t firstColumn, uint64_t endColumn, uint64_t pooling,
                                     PooledColumnSink* sink)
    : exponent(exponent), n(uint32_t(1) << exponent), hop(spectrogramHop(n, overlap)),
      sampleRate(sampleRate),
      group{0, firstColumn, std::max(firstColumn, endColumn), std::max<uint64_t>(1, pooling)},
      segments(group.first * hop, n, hop, group.timeColumns())
{
    if (group.timeColumns() == 0)
        return;
    window = hannWindow(n);
    addSink(group.pooling, sink);
}

void SpectrogramStream::addSink(uint64_t pooling, PooledColumnSink* sink)
{
    if (group.origin != 0 || group.timeColumns() == 0 || !sink)
        return;
    Pooler pooler;
    pooler.pooling = std::max<uint64_t>(1, pooling);
    pooler.sink = sink;
    pooler.base = group.first / pooler.pooling;
    poolers.push_back(std::move(pooler));
}

void SpectrogramStream::consume(uint64_t index, size_t count, const double* i, const double* q,
                                WorkControl& control)
{
    segments.consume(index, count, i, q,
                     [&](uint64_t c0, uint64_t c1, const double* iAt, const double* qAt) {
                         computeColumns(c0, c1, iAt, qAt, control);
                     });
}

void SpectrogramStream::prepareSinks(uint64_t begin, uint64_t end)
{
    for (Pooler& p : poolers) {
        if (!p.sink)
            continue;
        // A group begun in an earlier block is the one held (at base); it is
        // the group of `begin`.
        if (p.largest.empty())
            p.base = begin / p.pooling;
        const size_t columns = static_cast<size_t>((end - 1) / p.pooling - p.base + 1);
        ColumnMatrix grown;
        grown.resize(columns, n);
        if (!p.largest.empty())
            std::copy_n(p.held.column(0), n, grown.column(0));
        p.held = std::move(grown);
        p.largest.resize(columns, -1.0);
    }
}

void SpectrogramStream::flushSinks(uint64_t end)
{
    for (Pooler& p : poolers) {
        if (!p.sink)
            continue;
        size_t done = 0;
        for (; done < p.largest.size(); ++done) {
            const uint64_t x = p.base + done;
            if ((x + 1) * p.pooling > end && end < group.end)
                break;
            p.sink->take(x, p.held.column(done), p.largest[done]);
        }
        if (done == p.largest.size()) {
            p.largest.clear();
            continue;
        }
        // The last group goes on into the next block.
        std::copy_n(p.held.column(done), n, p.held.column(0));
        p.largest = {p.largest[done]};
        p.base += done;
    }
}

void SpectrogramStream::computeColumns(uint64_t begin, uint64_t end, const double* i,
                                       const double* q, WorkControl& control)
{
    // Grid columns g0 ... g1 - 1; column c's samples at (c - g0) hop from i and q.
    const uint64_t g0 = group.first + begin;
    const uint64_t g1 = group.first + end;
    prepareSinks(g0, g1);
    // Threads take runs of time columns. A group a thread shares with a
    // neighbour is pooled into a scratch column of its own and merged after, in
    // order; the groups inside its run are written in place.
    struct Edge
    {
        uint64_t x = UINT64_MAX;
        std::vector<double> values;
        double largest = -1.0;
    };
    const size_t parts = partCount(static_cast<size_t>(g1 - g0), minColumnsPerThread);
    const size_t kinds = poolers.size();
    std::vector<Edge> edges(parts * kinds * 2);
    std::vector<double> largest(parts, -1.0);
    auto partBegin = [&](size_t t) { return g0 + (g1 - g0) * t / parts; };
    const uint32_t half = n / 2;
    runParts(parts, [&](size_t t) {
        const uint64_t c0 = partBegin(t);
        const uint64_t c1 = partBegin(t + 1);
        Edge* edge = edges.data() + t * kinds * 2;
        for (size_t p = 0; p < kinds; ++p) {
            edge[2 * p].x = c0 / poolers[p].pooling;
            edge[2 * p].values.resize(n);
            const uint64_t last = (c1 - 1) / poolers[p].pooling;
            if (last != edge[2 * p].x) {
                edge[2 * p + 1].x = last;
                edge[2 * p + 1].values.resize(n);
            }
        }
        FftBatch batch(exponent);
        const uint32_t lanes = batch.lanes();
        std::vector<double> magnitude(n);
        double partLargest = -1.0;
        // Time column c, transformed into re/im (natural bin order), pooled into
        // the groups of every pooling kept.
        auto pool = [&](uint64_t c, const double* re, const double* im) {
            // Upper half of the transform first (the negative frequencies), then the lower.
            const double* a = magnitude.data();
            magnitudes(re + half, im + half, n - half, magnitude.data());
            magnitudes(re, im, half, magnitude.data() + (n - half));
            // The largest magnitude in four running maxima side by side; magnitudes
            // are never negative, so -1 means none yet, and a NaN never wins.
            double lanesMax[4] = {-1.0, -1.0, -1.0, -1.0};
            uint32_t k = 0;
            for (; k + 4 <= n; k += 4)
                for (int l = 0; l < 4; ++l)
                    lanesMax[l] = a[k + l] > lanesMax[l] ? a[k + l] : lanesMax[l];
            for (; k < n; ++k)
                lanesMax[0] = a[k] > lanesMax[0] ? a[k] : lanesMax[0];
            const double top =
                std::max(std::max(lanesMax[0], lanesMax[1]), std::max(lanesMax[2], lanesMax[3]));
            partLargest = std::max(partLargest, top);
            for (size_t p = 0; p < kinds; ++p) {
                Pooler& pooler = poolers[p];
                const uint64_t x = c / pooler.pooling;
                double* out = nullptr;
                double* outLargest = nullptr;
                if (x == edge[2 * p].x || x == edge[2 * p + 1].x) {
                    Edge& e = x == edge[2 * p].x ? edge[2 * p] : edge[2 * p + 1];
                    out = e.values.data();
                    outLargest = &e.largest;
                } else {
                    out = pooler.held.column(static_cast<size_t>(x - pooler.base));
                    outLargest = &pooler.largest[static_cast<size_t>(x - pooler.base)];
                }
                // The group's first time column in this run starts it.
                if (c == std::max(c0, x * pooler.pooling))
                    std::copy(a, a + n, out);
                else
                    poolInto(out, a, n);
                *outLargest = std::max(*outLargest, top);
            }
        };
        uint64_t sinceCheck = columnsBetweenChecks;
        for (uint64_t c = c0; c < c1; c += lanes) {
            if (sinceCheck >= columnsBetweenChecks) {
                control.check();
                sinceCheck = 0;
            }
            // Columns c ... c + count - 1 transformed side by side, then pooled in order.
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lanes, c1 - c));
            sinceCheck += count;
            const double* iSeg[FftBatch::maxLanes];
            const double* qSeg[FftBatch::maxLanes];
            for (uint32_t l = 0; l < count; ++l) {
                const size_t s = static_cast<size_t>((c + l - g0) * hop);
                iSeg[l] = i + s;
                qSeg[l] = q + s;
            }
            batch.transformWindowed(count, iSeg, qSeg, window.data());
            for (uint32_t l = 0; l < count; ++l)
                pool(c + l, batch.re(l), batch.im(l));
        }
        largest[t] = partLargest;
    });
    for (size_t t = 0; t < parts; ++t) {
        largestMagnitude = std::max(largestMagnitude, largest[t]);
        for (size_t p = 0; p < kinds; ++p) {
            Pooler& pooler = poolers[p];
            for (size_t side = 0; side < 2; ++side) {
                const Edge& e = edges[(t * kinds + p) * 2 + side];
                if (e.x == UINT64_MAX)
                    continue;
                const size_t at = static_cast<size_t>(e.x - pooler.base);
                double* out = pooler.held.column(at);
                // Begun by an earlier run (of this block or one before) or not.
                if (std::max(group.first, e.x * pooler.pooling) < partBegin(t))
                    poolInto(out, e.values.data(), n);
                else
                    std::copy_n(e.values.data(), n, out);
                pooler.largest[at] = std::max(pooler.largest[at], e.largest);
            }
        }
    }
    flushSinks(g1);
}

PooledSpectrogram SpectrogramStream::takeResult()
{
    PooledSpectrogram result;
    result.sourceColumns = group.timeColumns();
    result.maxValue = std::numeric_limits<double>::lowest();
    if (group.timeColumns() == 0 || segments.done() < group.timeColumns())
        return result;
    const SpectrogramDecibels level(n, sampleRate);
    const bool rounded = group.pooling > 1;
    auto decibels = [&](double a) { return level(rounded ? singlePrecisionMagnitude(a) : a); };
    if (largestMagnitude >= 0.0)
        result.maxValue = decibels(largestMagnitude);
    if (poolers.empty() || poolers[0].sink)
        return result;
    ColumnMatrix& pooled = poolers[0].held;
    const size_t values = pooled.size() * pooled.rows();
    double* v = pooled.column(0);
    const size_t parts = partCount(values, size_t(1) << 16);
    runParts(parts, [&](size_t t) {
        for (size_t k = values * t / parts; k < values * (t + 1) / parts; ++k)
            v[k] = decibels(v[k]);
    });
    result.columns = std::move(pooled);
    return result;
}
