// Curve rasteriser with per-column run reduction.

#include "views/CurveRaster.h"

#include "dsp/ParallelParts.h"
#include "plotdata/ColumnRuns.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Mapped coordinates lie within 0 ... width and 0 ... height for data inside the
// frame; the bound only keeps a pathological frame from overflowing int.
constexpr double coordinateLimit = 1 << 30;

bool mapPoint(double x, double y, const CurveFrame& f, double w, double h, QPoint& out)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    const double px = w * ((x - f.xMin) / (f.xMax - f.xMin));
    const double py = h - (y - f.yMin) / (f.yMax - f.yMin) * h;
    if (!(std::fabs(px) < coordinateLimit) || !(std::fabs(py) < coordinateLimit))
        return false;
    out = QPoint(static_cast<int>(px), static_cast<int>(py));
    return true;
}

// A run of consecutive points in one pixel column. Every line joining two of
// them is a vertical line in that column, and together they cover exactly the
// rows from the run's smallest to its largest; so do the lines first -> extreme
// -> extreme -> last, while the lines into and out of the run still start and
// end at the same points. `low` is the point with the smallest row (drawn
// highest), `high` the one with the largest.
struct RunPoints
{
    QPoint first, low, high, last;
    size_t firstAt, lowAt, highAt, lastAt;
};

// Appends the run's distinct points in data order.
void emitRun(const RunPoints& run, std::vector<QPoint>& points)
{
    struct Marked
    {
        size_t at;
        QPoint p;
    };
    Marked marked[4] = {
        {run.firstAt, run.first}, {run.lowAt, run.low}, {run.highAt, run.high}, {run.lastAt, run.last}};
    if (marked[1].at > marked[2].at)
        std::swap(marked[1], marked[2]);
    size_t previous = SIZE_MAX;
    for (const Marked& m : marked) {
        if (m.at != previous)
            points.push_back(m.p);
        previous = m.at;
    }
}

// Any data: every point mapped, runs found among the points that map.
void reduceMappingEveryPoint(const double* x, const double* y, size_t begin, size_t end,
                             const CurveFrame& frame, std::vector<QPoint>& points)
{
    const double w = frame.width;
    const double h = frame.height;
    bool inRun = false;
    RunPoints run{};
    for (size_t k = begin; k < end; ++k) {
        QPoint p;
        if (!mapPoint(x[k], y[k], frame, w, h, p))
            continue;
        if (inRun && p.x() == run.first.x()) {
            if (p.y() < run.low.y()) {
                run.low = p;
                run.lowAt = k;
            } else if (p.y() > run.high.y()) {
                run.high = p;
                run.highAt = k;
            }
            run.last = p;
            run.lastAt = k;
            continue;
        }
        if (inRun)
            emitRun(run, points);
        inRun = true;
        run = RunPoints{p, p, p, p, k, k, k, k};
    }
    if (inRun)
        emitRun(run, points);
}

// First and last finite y of y[begin ... end) and the first positions of its
// largest and smallest value; first stays SIZE_MAX when none is finite. False
// when the run holds an infinite value, which the caller then maps point by point.
bool extremesOfRun(const double* y, size_t begin, size_t end, size_t& first, size_t& last,
                   size_t& top, size_t& bottom)
{
    first = SIZE_MAX;
    size_t k = begin;
    while (k < end && std::isnan(y[k]))
        ++k;
    if (k == end)
        return true;
    first = k;
    last = end - 1;
    while (std::isnan(y[last]))
        --last;
    // Largest and smallest value with four independent chains; a NaN never wins
    // a comparison, so it is passed over.
    double high[4] = {y[first], y[first], y[first], y[first]};
    double low[4] = {y[first], y[first], y[first], y[first]};
    size_t j = first;
    for (; j + 4 <= end; j += 4)
        for (int lane = 0; lane < 4; ++lane) {
            const double v = y[j + lane];
            high[lane] = v > high[lane] ? v : high[lane];
            low[lane] = v < low[lane] ? v : low[lane];
        }
    for (; j < end; ++j) {
        const double v = y[j];
        high[0] = v > high[0] ? v : high[0];
        low[0] = v < low[0] ? v : low[0];
    }
    const double highest = std::max(std::max(high[0], high[1]), std::max(high[2], high[3]));
    const double lowest = std::min(std::min(low[0], low[1]), std::min(low[2], low[3]));
    if (!std::isfinite(highest) || !std::isfinite(lowest))
        return false;
    top = SIZE_MAX;
    bottom = SIZE_MAX;
    for (j = first; top == SIZE_MAX || bottom == SIZE_MAX; ++j) {
        if (top == SIZE_MAX && y[j] == highest)
            top = j;
        if (bottom == SIZE_MAX && y[j] == lowest)
            bottom = j;
    }
    return true;
}

// x[begin ... end) finite, and ascending from x[begin - 1] on when begin > 0.
bool finiteAndAscending(const double* x, size_t begin, size_t end)
{
    bool ok = true;
    for (size_t k = begin; k < end; ++k)
        ok &= std::isfinite(x[k]);
    for (size_t k = std::max<size_t>(begin, 1); k < end && ok; ++k)
        ok &= x[k - 1] <= x[k];
    return ok;
}

// Pixel column of a point of a finite, ascending curve.
int pointColumn(const double* x, size_t k, const CurveFrame& frame)
{
    const double px = frame.width * ((x[k] - frame.xMin) / (frame.xMax - frame.xMin));
    return static_cast<int>(std::clamp(px, -coordinateLimit, coordinateLimit));
}

// The first index past the column run that holds point k (ascending x), at most end.
size_t runEnd(const double* x, size_t k, size_t end, const CurveFrame& frame)
{
    return columnRunEnd([&](size_t j) { return pointColumn(x, j, frame); }, k, end);
}

// Points begin ... end - 1 of a finite, ascending curve, begin and end on run
// boundaries. The column is a non-decreasing function of the index, so each
// column's run is found by searching for its end, and within a run the lowest
// and highest rows belong to the largest and smallest y (the row falls as y
// rises); only the four chosen points are mapped.
void reduceAscending(const double* x, const double* y, size_t begin, size_t end,
                     const CurveFrame& frame, std::vector<QPoint>& points)
{
    const double w = frame.width;
    const double h = frame.height;
    size_t k = begin;
    while (k < end) {
        const size_t stop = runEnd(x, k, end, frame);
        size_t first = SIZE_MAX, last = 0, top = 0, bottom = 0;
        if (!extremesOfRun(y, k, stop, first, last, top, bottom)) {
            reduceMappingEveryPoint(x, y, k, stop, frame, points);
            k = stop;
            continue;
        }
        if (first != SIZE_MAX) {
            RunPoints run{};
            const bool mapped = mapPoint(x[first], y[first], frame, w, h, run.first) &&
                                mapPoint(x[top], y[top], frame, w, h, run.low) &&
                                mapPoint(x[bottom], y[bottom], frame, w, h, run.high) &&
                                mapPoint(x[last], y[last], frame, w, h, run.last);
            if (mapped) {
                run.firstAt = first;
                run.lowAt = top;
                run.highAt = bottom;
                run.lastAt = last;
                emitRun(run, points);
            } else {
                reduceMappingEveryPoint(x, y, k, stop, frame, points);
            }
        }
        k = stop;
    }
}

// Fewer points than this per thread are not worth a thread.
constexpr size_t minPointsPerPart = size_t(1) << 20;

} // namespace

std::vector<QPoint> reducedCurvePoints(const double* x, const double* y, size_t n,
                                       const CurveFrame& frame)
{
    std::vector<QPoint> points;
    const bool finiteFrame = std::isfinite(frame.xMax - frame.xMin) &&
                             std::isfinite(frame.yMax - frame.yMin) && frame.xMax > frame.xMin &&
                             frame.yMax > frame.yMin;
    if (!finiteFrame) {
        reduceMappingEveryPoint(x, y, 0, n, frame, points);
        return points;
    }
    // Long curves are checked and reduced in parts on separate threads. Each
    // part after the first starts where a column run starts, and runs are
    // reduced independently, so the joined parts equal a single pass.
    const size_t parts = partCount(n, minPointsPerPart);
    std::vector<char> ascending(parts);
    runParts(parts, [&](size_t t) {
        ascending[t] = finiteAndAscending(x, n * t / parts, n * (t + 1) / parts);
    });
    if (std::find(ascending.begin(), ascending.end(), 0) != ascending.end()) {
        reduceMappingEveryPoint(x, y, 0, n, frame, points);
        return points;
    }
    std::vector<size_t> bounds(parts + 1, n);
    bounds[0] = 0;
    for (size_t t = 1; t < parts; ++t) {
        const size_t k = std::max(bounds[t - 1], n * t / parts);
        bounds[t] = k == 0 || k >= n ? k : runEnd(x, k - 1, n, frame);
    }
    std::vector<std::vector<QPoint>> partPoints(parts);
    runParts(parts, [&](size_t t) {
        reduceAscending(x, y, bounds[t], bounds[t + 1], frame, t == 0 ? points : partPoints[t]);
    });
    for (size_t t = 1; t < parts; ++t)
        points.insert(points.end(), partPoints[t].begin(), partPoints[t].end());
    return points;
}

void drawCurveSegments(QImage& image, const std::vector<QPoint>& points, QColor color)
{
    QPainter painter(&image);
    painter.setPen(QPen(color));
    for (size_t k = 1; k < points.size(); ++k)
        painter.drawLine(points[k - 1], points[k]);
}

QImage renderCurveImage(const double* x, const double* y, size_t n, const CurveFrame& frame,
                        QColor background, QColor color)
{
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(background);
    drawCurveSegments(image, reducedCurvePoints(x, y, n, frame), color);
    return image;
}
