// The reduced curve raster against drawing every segment.

#include "views/CurveRaster.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <random>

namespace {

// Every consecutive pair of points joined by its own aliased line, the points
// mapped and truncated to integers: the plain way of drawing the curve.
QImage literalCurveImage(const std::vector<double>& x, const std::vector<double>& y,
                         const CurveFrame& f)
{
    QImage image(f.width, f.height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, f.width, f.height), Qt::black);
    painter.setPen(QColor(Qt::white));
    const double w = f.width;
    const double h = f.height;
    auto map = [&](size_t k) {
        const double px = w * ((x[k] - f.xMin) / (f.xMax - f.xMin));
        const double py = h - (y[k] - f.yMin) / (f.yMax - f.yMin) * h;
        return QPoint(static_cast<int>(px), static_cast<int>(py));
    };
    for (size_t k = 1; k < x.size(); ++k)
        painter.drawLine(map(k - 1), map(k));
    return image;
}

struct Curve
{
    std::vector<double> x;
    std::vector<double> y;
    CurveFrame frame;
};

Curve randomCurve(std::mt19937_64& rng, size_t n, int width, int height, int kind)
{
    Curve c;
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    c.x.resize(n);
    c.y.resize(n);
    double walk = 0;
    for (size_t k = 0; k < n; ++k) {
        c.x[k] = static_cast<double>(k) / 1000.0;
        switch (kind) {
        case 0: c.y[k] = uniform(rng); break;                          // noise
        case 1: walk += normal(rng); c.y[k] = walk; break;             // random walk
        case 2: c.y[k] = std::sin(k * 0.001) + 0.01 * uniform(rng); break; // smooth tone
        default: c.y[k] = (k % 97 == 0) ? 5.0 : 0.0; break;           // sparse spikes, flat runs
        }
    }
    double yMin = c.y[0], yMax = c.y[0];
    for (double v : c.y) {
        yMin = std::min(yMin, v);
        yMax = std::max(yMax, v);
    }
    c.frame = CurveFrame{c.x.front(), c.x.back(), yMin, yMax, width, height};
    return c;
}

bool sameImages(const QImage& a, const QImage& b, QString* where)
{
    if (a.size() != b.size())
        return false;
    for (int row = 0; row < a.height(); ++row)
        for (int col = 0; col < a.width(); ++col)
            if (a.pixel(col, row) != b.pixel(col, row)) {
                *where = QString("first difference at (%1, %2)").arg(col).arg(row);
                return false;
            }
    return true;
}

} // namespace

TEST(CurveRaster, PixelIdenticalToEverySegmentOnRandomCurves)
{
    std::mt19937_64 rng(20261207);
    struct Row { size_t n; int width; int height; };
    const Row rows[] = {
        {2, 110, 115}, {3, 110, 115}, {50, 400, 200}, {300, 400, 200},    // sparse
        {5000, 310, 180}, {20000, 110, 115}, {100000, 800, 300},           // dense
        {1000, 1000, 100}, {777, 613, 421},
    };
    for (const Row& row : rows)
        for (int kind = 0; kind < 4; ++kind) {
            const Curve c = randomCurve(rng, row.n, row.width, row.height, kind);
            const QImage literal = literalCurveImage(c.x, c.y, c.frame);
            const QImage fast = renderCurveImage(c.x.data(), c.y.data(), c.x.size(), c.frame,
                                                 Qt::black, Qt::white);
            QString where;
            EXPECT_TRUE(sameImages(literal, fast, &where))
                << "n " << row.n << " size " << row.width << "x" << row.height << " kind " << kind
                << ": " << where.toStdString();
        }
}

// Curves long enough to be reduced in parts on several threads: the parts meet
// at column boundaries, so the picture is still that of every segment, and no
// column holds more than four points.
TEST(CurveRaster, LongCurvesReducedInPartsDrawEverySegment)
{
    std::mt19937_64 rng(77);
    for (int kind : {0, 1, 3}) {
        const Curve c = randomCurve(rng, 2500001, 1100, 300, kind);
        const QImage literal = literalCurveImage(c.x, c.y, c.frame);
        const QImage fast = renderCurveImage(c.x.data(), c.y.data(), c.x.size(), c.frame,
                                             Qt::black, Qt::white);
        QString where;
        EXPECT_TRUE(sameImages(literal, fast, &where)) << "kind " << kind << ": " << where.toStdString();
        const std::vector<QPoint> points = reducedCurvePoints(c.x.data(), c.y.data(), c.x.size(), c.frame);
        EXPECT_LE(points.size(), 4u * 1101u) << "kind " << kind;
        EXPECT_EQ(points.front(), QPoint(0, static_cast<int>(300 - (c.y.front() - c.frame.yMin) /
                                                                    (c.frame.yMax - c.frame.yMin) * 300)));
        EXPECT_EQ(points.back().x(), 1100);
    }
}

TEST(CurveRaster, NonFinitePointsAndUnorderedXAreDrawnAsTheFilteredCurve)
{
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double bad[] = {std::nan(""), INFINITY, -INFINITY};
    for (size_t n : {10u, 1000u, 50000u})
        for (int variant = 0; variant < 3; ++variant) {
            Curve c = randomCurve(rng, n, 300, 150, variant);
            if (variant == 2) // x in random order: every point mapped on its own
                std::shuffle(c.x.begin(), c.x.end(), rng);
            // Spoil some points: non-finite y (and x in the unordered variant).
            for (size_t k = 0; k < n; k += 7) {
                c.y[k] = bad[k % 3];
                if (variant == 2 && k % 2 == 0)
                    c.x[k] = bad[(k + 1) % 3];
            }
            Curve kept = c;
            kept.x.clear();
            kept.y.clear();
            for (size_t k = 0; k < n; ++k)
                if (std::isfinite(c.x[k]) && std::isfinite(c.y[k])) {
                    kept.x.push_back(c.x[k]);
                    kept.y.push_back(c.y[k]);
                }
            const QImage expected = literalCurveImage(kept.x, kept.y, c.frame);
            const QImage actual = renderCurveImage(c.x.data(), c.y.data(), n, c.frame, Qt::black, Qt::white);
            QString where;
            EXPECT_TRUE(sameImages(expected, actual, &where))
                << "n " << n << " variant " << variant << ": " << where.toStdString();
        }
}

TEST(CurveRaster, DenseRunsKeepAtMostFourPointsPerColumn)
{
    std::mt19937_64 rng(7);
    const Curve c = randomCurve(rng, 200000, 200, 100, 0);
    const std::vector<QPoint> points = reducedCurvePoints(c.x.data(), c.y.data(), c.x.size(), c.frame);
    EXPECT_LE(points.size(), size_t(4 * 201));
    EXPECT_GE(points.size(), size_t(2 * 200));
}
