#pragma once
// Rasterising a polyline curve into the plot's image: data points mapped to
// integer image points, consecutive points joined by aliased 1-pixel lines.

#include <QColor>
#include <QImage>
#include <QPoint>

#include <cstddef>
#include <vector>

// The data window a curve is mapped through: xMin lands on column 0, xMax on
// column width, yMax on row 0 and yMin on row height.
struct CurveFrame
{
    double xMin;
    double xMax;
    double yMin;
    double yMax;
    int width;
    int height;
};

// The integer image points of the curve, px = trunc(w * ((x - xMin) / (xMax - xMin)))
// and py = trunc(h - (y - yMin) / (yMax - yMin) * h), in data order. Points with a
// non-finite coordinate, before or after mapping, are left out. Each run of
// consecutive points in one pixel column is reduced to its first, lowest, highest
// and last point (in data order): the lines joining those cover exactly the pixels
// of the lines joining every point of the run, and at most four points per
// run remain, so that dense curves cost O(n) to draw.
std::vector<QPoint> reducedCurvePoints(const double* x, const double* y, size_t n,
                                       const CurveFrame& frame);

// Draws one aliased line from each point to the next.
void drawCurveSegments(QImage& image, const std::vector<QPoint>& points, QColor color);

// A width x height RGB32 image filled with `background` and the curve drawn in `color`.
QImage renderCurveImage(const double* x, const double* y, size_t n, const CurveFrame& frame,
                        QColor background, QColor color);
