// The plot widget as drawn: geometry, curve raster, ticks, failures and
// degenerate data, read back from grabbed pixels.

#include "views/CustomPlot.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <tuple>

namespace {

QImage grab(CustomPlot& plot)
{
    return plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The plot area of a grabbed plot, without its first column and last row,
// which the axis lines overdraw.
QImage plotArea(const QImage& widget, int w, int h)
{
    return widget.copy(110 + 1, 15, w - 1, h - 1);
}

int whitePixels(const QImage& image)
{
    int count = 0;
    for (int row = 0; row < image.height(); ++row)
        for (int col = 0; col < image.width(); ++col)
            count += image.pixel(col, row) == qRgb(255, 255, 255);
    return count;
}

} // namespace

TEST(CustomPlotWidget, GeometryAndTwoPointSegment)
{
    CustomPlot plot("x", "y");
    plot.resize(300, 180);
    plot.setData({0, 1}, {0, 1}, false);
    const QImage shot = grab(plot);
    ASSERT_EQ(shot.size(), QSize(300, 180));
    const QRgb background = shot.pixel(295, 3);

    // The plot area is 110 x 115 at (110, 15): black with the white segment from
    // image point (0, 115) to (110, 0), both ends just outside the image.
    QImage expected(110, 115, QImage::Format_RGB32);
    expected.fill(Qt::black);
    {
        QPainter painter(&expected);
        painter.setPen(QColor(Qt::white));
        painter.drawLine(QPoint(0, 115), QPoint(110, 0));
    }
    EXPECT_EQ(plotArea(shot, 110, 115), expected.copy(1, 0, 109, 114));
    EXPECT_GT(whitePixels(expected), 100);
    // Around it: the widget's own background to the right and above.
    for (int row = 20; row < 120; row += 10)
        EXPECT_EQ(shot.pixel(225, row), background) << row;
    for (int col = 115; col < 215; col += 10)
        EXPECT_EQ(shot.pixel(col, 5), background) << col;
    EXPECT_EQ(shot.pixel(219, 60), qRgb(0, 0, 0)); // last column of the plot area
}

TEST(CustomPlotWidget, TickMarksAtTheirRows)
{
    CustomPlot plot("Time (s)", "I amplitude");
    plot.resize(300, 180);
    plot.setData({0, 0.5, 1}, {-1, 1, -1}, true);
    const QImage shot = grab(plot);
    const QRgb background = shot.pixel(295, 3);
    // y from -1 to 1: ticks at rows 15, 72 and 130 (steps of 0.5 would crowd the
    // labels), from x = 105 to 110.
    for (int row : {15, 72, 130})
        EXPECT_NE(shot.pixel(107, row), background) << row;
    for (int row : {30, 43, 58, 87, 101, 116})
        EXPECT_EQ(shot.pixel(107, row), background) << row;
    // x from 0 to 1: ticks at columns 110, 165 and 220 below the x axis (row 130).
    for (int col : {165, 220})
        EXPECT_NE(shot.pixel(col, 133), background) << col;
    for (int col : {140, 190})
        EXPECT_EQ(shot.pixel(col, 133), background) << col;
}

TEST(CustomPlotWidget, MismatchedLengthsThrowAndKeepTheCurve)
{
    CustomPlot plot("x", "y");
    plot.resize(400, 250);
    plot.setData({0, 1, 2, 3}, {0, 3, 1, 2}, false);
    const QImage before = grab(plot);
    try {
        plot.setData({0, 1, 2}, {0, 1, 2, 3}, false);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "X and Y vectors must have the same length");
    }
    EXPECT_EQ(grab(plot), before);
}

// The moving and sharing forms draw what the copying form draws; a size mismatch
// throws before anything changes, the vectors passed included.
TEST(CustomPlotWidget, MovedAndSharedDataDrawLikeCopies)
{
    const std::vector<double> x = {0, 0.5, 1, 2, 3};
    const std::vector<double> y = {1, -2, 0.5, 3, -1};
    CustomPlot copied("x", "y"), moved("x", "y"), shared("x", "y");
    for (CustomPlot* plot : {&copied, &moved, &shared})
        plot->resize(400, 250);
    copied.setData(x, y, true);
    moved.setData(std::vector<double>(x), std::vector<double>(y), true);
    const auto sharedX = std::make_shared<const std::vector<double>>(x);
    shared.setDataSharingX(sharedX, std::vector<double>(y), true);
    EXPECT_EQ(grab(moved), grab(copied));
    EXPECT_EQ(grab(shared), grab(copied));
    EXPECT_EQ(*sharedX, x);

    const QImage before = grab(moved);
    std::vector<double> shortX = {0, 1}, longY = {0, 1, 2};
    EXPECT_THROW(moved.setData(std::move(shortX), std::move(longY), false), std::invalid_argument);
    EXPECT_EQ(shortX.size(), 2u);
    EXPECT_EQ(longY.size(), 3u);
    EXPECT_THROW(moved.setDataSharingX(sharedX, std::vector<double>(2), false), std::invalid_argument);
    EXPECT_EQ(grab(moved), before);
    // A null x is an empty curve, not a crash.
    EXPECT_THROW(moved.setDataSharingX(nullptr, std::vector<double>(1), false), std::invalid_argument);
    moved.setDataSharingX(nullptr, {}, false);
}

TEST(CustomPlotWidget, DegenerateData)
{
    const double nan = std::nan("");
    const double inf = INFINITY;
    struct Row
    {
        const char* name;
        std::vector<double> x, y;
        int minWhite; // white pixels expected in the plot area
        int maxWhite;
    } rows[] = {
        {"all NaN", {0, 1, 2}, {nan, nan, nan}, 0, 0},
        {"all infinite", {0, 1}, {inf, -inf}, 0, 0},
        {"NaN inside", {0, 1, 2, 3}, {0, nan, 1, 0}, 50, 100000},
        {"all zero: a line at mid-height", {0, 1, 2}, {0, 0, 0}, 100, 400},
        {"single point", {5}, {2}, 0, 0},
        {"equal x", {1, 1, 1}, {0, 1, 2}, 50, 400},
        {"huge values", {0, 1}, {-1.7e308, 1.7e308}, 0, 100000},
    };
    for (const Row& r : rows) {
        CustomPlot plot("x", "y");
        plot.resize(400, 250);
        plot.setData(r.x, r.y, true);
        const QImage shot = grab(plot);
        const int white = whitePixels(plotArea(shot, 210, 185));
        EXPECT_GE(white, r.minWhite) << r.name;
        EXPECT_LE(white, r.maxWhite) << r.name;
        // The axes are there in every case (the x axis along row H - 50).
        EXPECT_NE(shot.pixel(200, 200), shot.pixel(395, 3)) << r.name;
    }
    // All zero: the line lies at row 185 - 0.5 * 185 = 92 of the plot area.
    CustomPlot flat("x", "y");
    flat.resize(400, 250);
    flat.setData({0, 1, 2}, {0, 0, 0}, false);
    const QImage shot = grab(flat);
    EXPECT_EQ(shot.pixel(200, 15 + 92), qRgb(255, 255, 255));
}

TEST(CustomPlotWidget, EmptyDataPaintsNothing)
{
    CustomPlot plot("x", "y");
    plot.resize(300, 180);
    const QImage blank = grab(plot);
    plot.setData({}, {}, false);
    EXPECT_EQ(grab(plot), blank);
    const QRgb background = blank.pixel(0, 0);
    for (int row = 0; row < 180; row += 7)
        for (int col = 0; col < 300; col += 7)
            ASSERT_EQ(blank.pixel(col, row), background);
}

TEST(CustomPlotWidget, ResizeRerendersTheCurve)
{
    CustomPlot plot("x", "y");
    plot.resize(300, 180);
    plot.setData({0, 1}, {0, 1}, false);
    plot.resize(500, 300);
    const QImage shot = grab(plot);
    ASSERT_EQ(shot.size(), QSize(500, 300));
    QImage expected(310, 235, QImage::Format_RGB32);
    expected.fill(Qt::black);
    {
        QPainter painter(&expected);
        painter.setPen(QColor(Qt::white));
        painter.drawLine(QPoint(0, 235), QPoint(310, 0));
    }
    EXPECT_EQ(plotArea(shot, 310, 235), expected.copy(1, 0, 309, 234));
}

// A Time or Frequency axis is titled with the unit of its labels: its title strip
// is drawn as that of a plain axis given the expected title, unlike an untitled one.
TEST(CustomPlotWidget, AxisTitlesNameTheUnitOfTheLabels)
{
    const std::tuple<AxisQuantity, std::vector<double>, const char*> rows[] = {
        {AxisQuantity::Time, {0, 0.002}, "Time (ms)"},
        {AxisQuantity::Frequency, {-500000, 496093.75}, "Frequency (kHz)"},
        {AxisQuantity::Number, {0, 1}, "x"},
    };
    const QRect titleStrip(0, 230, 400, 20);
    for (const auto& [quantity, x, title] : rows) {
        CustomPlot plot("x", "y"), reference(title, "y"), untitled("", "y");
        plot.setAxisQuantities(quantity, AxisQuantity::Number);
        std::vector<QImage> strips;
        for (CustomPlot* p : {&plot, &reference, &untitled}) {
            p->resize(400, 250);
            p->setData(x, {0, 1}, false);
            strips.push_back(grab(*p).copy(titleStrip));
        }
        EXPECT_EQ(strips[0], strips[1]) << title;
        EXPECT_NE(strips[0], strips[2]) << title;
    }
}
