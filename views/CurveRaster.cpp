// Curve rasteriser with per-column run reduction.

#include "views/CurveRaster.h"

#include <QPainter>

#include <cmath>

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

} // namespace

std::vector<QPoint> reducedCurvePoints(const double* x, const double* y, size_t n,
                                       const CurveFrame& frame)
{
    std::vector<QPoint> points;
    const double w = frame.width;
    const double h = frame.height;

    // The current run: its first point, its extremes (first found) and its last
    // point, with their positions in data order.
    bool inRun = false;
    QPoint first, low, high, last;
    size_t firstAt = 0, lowAt = 0, highAt = 0, lastAt = 0;

    auto flush = [&]() {
        // Emit the run's distinct points in data order.
        struct Marked { size_t at; QPoint p; };
        Marked marked[4] = {{firstAt, first}, {lowAt, low}, {highAt, high}, {lastAt, last}};
        if (marked[1].at > marked[2].at)
            std::swap(marked[1], marked[2]);
        size_t previous = SIZE_MAX;
        for (const Marked& m : marked) {
            if (m.at != previous)
                points.push_back(m.p);
            previous = m.at;
        }
    };

    for (size_t k = 0; k < n; ++k) {
        QPoint p;
        if (!mapPoint(x[k], y[k], frame, w, h, p))
            continue;
        if (inRun && p.x() == first.x()) {
            if (p.y() < low.y()) {
                low = p;
                lowAt = k;
            } else if (p.y() > high.y()) {
                high = p;
                highAt = k;
            }
            last = p;
            lastAt = k;
            continue;
        }
        if (inRun)
            flush();
        inRun = true;
        first = low = high = last = p;
        firstAt = lowAt = highAt = lastAt = k;
    }
    if (inRun)
        flush();
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
