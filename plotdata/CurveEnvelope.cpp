// Per-column reduction of a streamed curve.

#include "plotdata/CurveEnvelope.h"

#include "dsp/ParallelParts.h"
#include "plotdata/ColumnRuns.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr double columnLimit = 1 << 30;
// Fewer points than this per thread are not worth a thread.
constexpr size_t minPointsPerPart = size_t(1) << 18;

} // namespace

CurveEnvelope::CurveEnvelope(double xMin, double xMax, int width, uint64_t firstSample,
                             double rate, uint32_t step)
    : xMin(xMin), xMax(xMax), width(std::max(width, 0)), firstSample(firstSample), rate(rate),
      step(std::max<uint32_t>(step, 1)),
      columns(static_cast<size_t>(std::max(width, 0)) + 1)
{
}

int CurveEnvelope::columnOf(double x) const
{
    const double px = width * ((x - xMin) / (xMax - xMin));
    if (std::isnan(px))
        return 0;
    return static_cast<int>(std::clamp(px, -columnLimit, columnLimit));
}

CurveBlock curveBlock(const double* y, size_t count)
{
    CurveBlock block;
    size_t first = 0;
    while (first < count && !std::isfinite(y[first]))
        ++first;
    if (first == count)
        return block;
    size_t last = count - 1;
    while (!std::isfinite(y[last]))
        --last;
    // Largest and smallest finite value in four running extremes side by side
    // (a NaN or an infinity never wins), then the first place of each.
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double largest = std::numeric_limits<double>::max();
    double hi[4] = {-inf, -inf, -inf, -inf};
    double lo[4] = {inf, inf, inf, inf};
    size_t k = first;
    for (; k + 4 <= last + 1; k += 4)
        for (int l = 0; l < 4; ++l) {
            const double v = y[k + l];
            hi[l] = (v > hi[l] && v <= largest) ? v : hi[l];
            lo[l] = (v < lo[l] && v >= -largest) ? v : lo[l];
        }
    for (; k <= last; ++k) {
        const double v = y[k];
        hi[0] = (v > hi[0] && v <= largest) ? v : hi[0];
        lo[0] = (v < lo[0] && v >= -largest) ? v : lo[0];
    }
    block.top = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
    block.bottom = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    size_t top = SIZE_MAX;
    size_t bottom = SIZE_MAX;
    for (k = first; top == SIZE_MAX || bottom == SIZE_MAX; ++k) {
        if (top == SIZE_MAX && y[k] == block.top)
            top = k;
        if (bottom == SIZE_MAX && y[k] == block.bottom)
            bottom = k;
    }
    block.first = y[first];
    block.last = y[last];
    block.firstAt = static_cast<uint32_t>(first);
    block.lastAt = static_cast<uint32_t>(last);
    block.topAt = static_cast<uint32_t>(top);
    block.bottomAt = static_cast<uint32_t>(bottom);
    return block;
}

CurveBlock joinedBlocks(const CurveBlock& a, uint64_t firstSize, const CurveBlock& b)
{
    if (!b.any())
        return a;
    const auto shift = static_cast<uint32_t>(firstSize);
    CurveBlock joined = b;
    joined.firstAt += shift;
    joined.lastAt += shift;
    joined.topAt += shift;
    joined.bottomAt += shift;
    if (!a.any())
        return joined;
    // The first of equal extremes is the earlier one.
    joined.first = a.first;
    joined.firstAt = a.firstAt;
    if (!(b.top > a.top)) {
        joined.top = a.top;
        joined.topAt = a.topAt;
    }
    if (!(b.bottom < a.bottom)) {
        joined.bottom = a.bottom;
        joined.bottomAt = a.bottomAt;
    }
    return joined;
}

void CurveEnvelope::mergeBlock(const CurveBlock& block, uint64_t offset)
{
    if (!block.any())
        return;
    constexpr double inf = std::numeric_limits<double>::infinity();
    const int c = std::clamp(columnOf(xOf(offset + block.firstAt)), 0, width);
    Column& column = columns[static_cast<size_t>(c)];
    if (!column.any) {
        column.any = true;
        column.firstAt = added + offset + block.firstAt;
        column.firstX = xOf(offset + block.firstAt);
        column.firstY = block.first;
        column.topY = -inf;
        column.bottomY = inf;
    }
    if (block.top > column.topY) {
        column.topAt = added + offset + block.topAt;
        column.topX = xOf(offset + block.topAt);
        column.topY = block.top;
    }
    if (block.bottom < column.bottomY) {
        column.bottomAt = added + offset + block.bottomAt;
        column.bottomX = xOf(offset + block.bottomAt);
        column.bottomY = block.bottom;
    }
    column.lastAt = added + offset + block.lastAt;
    column.lastX = xOf(offset + block.lastAt);
    column.lastY = block.last;
}

void CurveEnvelope::addBlock(const CurveBlock& block, uint64_t count)
{
    mergeBlock(block, 0);
    added += count;
}

void CurveEnvelope::add(const double* y, size_t count)
{
    if (count == 0)
        return;
    // The column is a non-decreasing function of the position: each column's
    // run is found by a galloping search for its end, and runs in different
    // parts of the block go to separate threads (no column is shared, as parts
    // start where a column starts).
    auto runEnd = [&](size_t k, size_t end) {
        return columnRunEnd([&](size_t j) { return columnOf(xOf(j)); }, k, end);
    };
    if (count < minPointsPerPart) {
        // Too few for threads: the runs one after the other, here.
        for (size_t k = 0; k < count;) {
            const size_t stop = runEnd(k, count);
            mergeBlock(curveBlock(y + k, stop - k), k);
            k = stop;
        }
        added += count;
        return;
    }
    const size_t parts = partCount(count, minPointsPerPart);
    std::vector<size_t> bounds(parts + 1, count);
    bounds[0] = 0;
    for (size_t t = 1; t < parts; ++t) {
        const size_t k = std::max(bounds[t - 1], count * t / parts);
        bounds[t] = k == 0 || k >= count ? k : runEnd(k - 1, count);
    }
    runParts(parts, [&](size_t t) {
        for (size_t k = bounds[t]; k < bounds[t + 1];) {
            const size_t stop = runEnd(k, bounds[t + 1]);
            mergeBlock(curveBlock(y + k, stop - k), k);
            k = stop;
        }
    });
    added += count;
}

void CurveEnvelope::addConstant(double y, size_t count)
{
    constexpr size_t chunk = size_t(1) << 16;
    const std::vector<double> values(std::min(count, chunk), y);
    for (size_t k = 0; k < count; k += chunk)
        add(values.data(), std::min(chunk, count - k));
}

ReducedCurve CurveEnvelope::result(bool symmetric, bool breakAtGaps) const
{
    ReducedCurve curve;
    curve.width = width;
    curve.sourcePoints = added;
    PlotRanges plain{0, 10, 0, 10, false};
    uint64_t lastAt = 0;
    for (const Column& column : columns) {
        if (!column.any)
            continue;
        if (breakAtGaps && plain.finite && column.firstAt > lastAt + 1) {
            curve.x.push_back(column.firstX);
            curve.y.push_back(std::numeric_limits<double>::quiet_NaN());
        }
        lastAt = column.lastAt;
        if (!plain.finite) {
            plain = PlotRanges{column.firstX, column.lastX, column.bottomY, column.topY, true};
        } else {
            plain.xMax = column.lastX;
            if (column.bottomY < plain.yMin)
                plain.yMin = column.bottomY;
            if (column.topY > plain.yMax)
                plain.yMax = column.topY;
        }
        // first, then the two extremes in data order, then last; each point once.
        struct Marked
        {
            uint64_t at;
            double x, y;
        };
        Marked marked[4] = {{column.firstAt, column.firstX, column.firstY},
                            {column.topAt, column.topX, column.topY},
                            {column.bottomAt, column.bottomX, column.bottomY},
                            {column.lastAt, column.lastX, column.lastY}};
        if (marked[1].at > marked[2].at)
            std::swap(marked[1], marked[2]);
        for (int m = 0; m < 4; ++m) {
            if (m > 0 && marked[m].at == marked[m - 1].at)
                continue;
            curve.x.push_back(marked[m].x);
            curve.y.push_back(marked[m].y);
        }
    }
    curve.ranges = completePlotRanges(plain, symmetric);
    return curve;
}

bool CurveEnvelope::frameHolds(const PlotRanges& ranges) const
{
    return !ranges.finite || (ranges.xMin == xMin && ranges.xMax == xMax);
}
