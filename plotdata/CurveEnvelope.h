#pragma once
// The points of a curve that its raster needs, gathered per pixel column while
// the curve streams past: in each column, its first and last finite point and
// the first points of its largest and smallest value. Joined in data order they
// cover the same pixels as every segment of the curve, at any plot height, for
// the width and x range they were gathered for.

#include "plotdata/PlotMath.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A curve reduced to the points its raster needs, with the ranges of the
// whole curve (widened as the plot widens them).
struct ReducedCurve
{
    std::vector<double> x;
    std::vector<double> y;
    PlotRanges ranges{0, 10, 0, 10, false};
    // The plot-area width in pixels the points were gathered for.
    int width = 0;
    // Points of the whole curve, finite or not.
    uint64_t sourcePoints = 0;
};

// The points of a run of consecutive curve points that its raster needs: its
// first and last finite point and the first of its largest and of its smallest
// finite value, each with its place counted from the run's first point.
struct CurveBlock
{
    static constexpr uint32_t none = UINT32_MAX;
    double first = 0, last = 0, top = 0, bottom = 0;
    // `none` in firstAt: no point of the run is finite (the rest is meaningless).
    uint32_t firstAt = none, lastAt = 0, topAt = 0, bottomAt = 0;
    bool any() const { return firstAt != none; }
};
// The block of y[0 ... count - 1] (count below 2^32).
CurveBlock curveBlock(const double* y, size_t count);
// The block of two runs one after the other, the first of `firstSize` points.
CurveBlock joinedBlocks(const CurveBlock& a, uint64_t firstSize, const CurveBlock& b);

// Receives a curve's points, in order, as they are made.
class CurveValueSink
{
public:
    virtual ~CurveValueSink() = default;
    // The next `count` points' y.
    virtual void add(const double* y, size_t count) = 0;
};

class CurveEnvelope
{
public:
    // Points at the times of samples firstSample, firstSample + 1, ... of a
    // recording at `rate` samples per second: point k at x = (firstSample + k) / rate,
    // in pixel column trunc(width * ((x - xMin) / (xMax - xMin))), as the plot maps it.
    // With `step`, point k stands for sample firstSample + step k (a decimated curve).
    CurveEnvelope(double xMin, double xMax, int width, uint64_t firstSample, double rate,
                  uint32_t step = 1);

    // The next `count` points' y, continuing the points added before. Points
    // whose y is not finite are left out.
    void add(const double* y, size_t count);
    // The next `count` points, all at value y.
    void addConstant(double y, size_t count);
    // The next `count` points as their block: all of them must lie in one
    // pixel column. The same as adding the points themselves.
    void addBlock(const CurveBlock& block, uint64_t count);

    // The gathered points in data order and the curve's ranges: over its
    // finite points, completed as the plot completes them (symmetric widening
    // when asked, zero extents opened up). With breakAtGaps, where points left
    // out lie between two columns' points a point of NaN y (at the next
    // column's first x) says that the curve breaks there.
    ReducedCurve result(bool symmetric, bool breakAtGaps = false) const;
    // Whether the x range of the finite points is the range the columns were
    // found with; if not, the curve must be gathered again with that range.
    bool frameHolds(const PlotRanges& ranges) const;

private:
    struct Column
    {
        bool any = false;
        uint64_t firstAt = 0, lastAt = 0, topAt = 0, bottomAt = 0;
        double firstX = 0, firstY = 0, lastX = 0, lastY = 0;
        double topX = 0, topY = 0, bottomX = 0, bottomY = 0;
    };
public:
    // The pixel column of x, as the plot maps it (not clamped to the plot).
    int columnOf(double x) const;
    // Time of the point `added + k`.
    double xOf(uint64_t k) const { return static_cast<double>(firstSample + step * (added + k)) / rate; }

private:
    // Merges the block of points added + offset ... into its column.
    void mergeBlock(const CurveBlock& block, uint64_t offset);

    double xMin;
    double xMax;
    int width;
    uint64_t firstSample;
    double rate;
    uint64_t step;
    std::vector<Column> columns;
    // Points added so far: the data-order position of the next one.
    uint64_t added = 0;
};
