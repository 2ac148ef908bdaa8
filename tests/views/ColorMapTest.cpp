// Colour scale, colour bar label and the spectrogram image.

#include "views/ColorMap.h"
#include "views/SpectrogramImage.h"

#include <QColor>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// The colour map as defined: clamp, first enclosing segment, truncated channels.
QColor literalMapColor(double v, double low, double high)
{
    const double positions[5] = {0.0, 0.25, 0.5, 0.75, 1.0};
    const int rgb[5][3] = {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
    const double t = (v - low) / (high - low);
    double d = std::min(1.0, t);
    d = std::max(0.0, d);
    for (int i = 0; i < 4; ++i)
        if (positions[i] <= d && d <= positions[i + 1]) {
            const double f = (d - positions[i]) / (positions[i + 1] - positions[i]);
            int c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = static_cast<int>((rgb[i + 1][k] - rgb[i][k]) * f + rgb[i][k]);
            return QColor(c[0], c[1], c[2], 255);
        }
    return QColor();
}

// The image as defined: one setPixelColor per pixel.
QImage literalImage(const std::vector<std::vector<double>>& m, int firstBin, int lastBin,
                    double low, double high)
{
    const int cols = static_cast<int>(m.size());
    const int rows = lastBin - firstBin + 1;
    QImage image(cols, rows, QImage::Format_RGB32);
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j)
            image.setPixelColor(i, j, literalMapColor(m[i][lastBin - j], low, high));
    return image;
}

std::vector<const double*> pointers(const std::vector<std::vector<double>>& m)
{
    std::vector<const double*> p;
    for (const auto& column : m)
        p.push_back(column.data());
    return p;
}

} // namespace

TEST(ColorMap, TableOfTheScaleFromMinus60ToMinus20)
{
    struct Row
    {
        double v;
        int r, g, b;
    } rows[] = {
        {-1e9, 68, 1, 84},  {-61, 68, 1, 84},    {-60, 68, 1, 84},     {-55, 63, 41, 111},
        {-50, 59, 82, 139}, {-45, 46, 113, 139}, {-40, 33, 145, 140},  {-35, 63, 173, 119},
        {-30, 94, 201, 98}, {-25, 173, 216, 67}, {-20, 253, 231, 37},  {-19, 253, 231, 37},
        {infinity, 253, 231, 37}, {notANumber, 253, 231, 37}, {-infinity, 68, 1, 84},
    };
    for (const Row& r : rows) {
        const QRgb c = mapColorRgb(r.v, -60, -20);
        EXPECT_EQ(qRed(c), r.r) << r.v;
        EXPECT_EQ(qGreen(c), r.g) << r.v;
        EXPECT_EQ(qBlue(c), r.b) << r.v;
        EXPECT_EQ(qAlpha(c), 255);
    }
}

TEST(ColorMap, SameAsTheLiteralMapEverywhere)
{
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-70.0, -10.0);
    std::vector<double> values = {-60, -50, -40, -30, -20, notANumber, infinity, -infinity};
    for (int k = 0; k <= 4000; ++k)
        values.push_back(-60 + k * 0.01); // every stop and many points between
    for (int k = 0; k < 100000; ++k)
        values.push_back(u(rng));
    for (double v : values) {
        ASSERT_EQ(mapColorRgb(v, -60, -20), literalMapColor(v, -60, -20).rgba()) << v;
        ASSERT_EQ(mapColorRgb(v, -7, 3), literalMapColor(v, -7, 3).rgba()) << v;
    }
    // A zero-width scale: below maps to the bottom, at or above (and NaN) to the top.
    EXPECT_EQ(mapColorRgb(-5, -5, -5), literalMapColor(-5, -5, -5).rgba());
    EXPECT_EQ(mapColorRgb(-6, -5, -5), qRgb(68, 1, 84));
}

TEST(ColorMap, ScaleBottomAndBarLabel)
{
    // The labels are densities in absolute dB/Hz, as the readout gives a cell: the
    // matrix value plus the window's correction (4.26 dB at N = 256), never relative.
    const double correction = 4.2597;
    struct Row
    {
        int top;
        double range;
        int bottom;
        const char* topLabel;
        const char* bottomLabel;
    } rows[] = {
        {-23, 40, -63, "-18.7 dB/Hz", "-58.7 dB/Hz"},
        {-23, 40.5, -63, "-18.7 dB/Hz", "-58.7 dB/Hz"}, // trunc(-63.5) = -63
        {1, 40, -39, "5.3 dB/Hz", "-34.7 dB/Hz"},
        {-156, 100, -256, "-151.7 dB/Hz", "-251.7 dB/Hz"},
        {0, 1e300, std::numeric_limits<int>::min(), "4.3 dB/Hz", "-2147483643.7 dB/Hz"},
        {10, notANumber, -30, "14.3 dB/Hz", "-25.7 dB/Hz"},
    };
    for (const Row& r : rows) {
        const int bottom = scaleBottom(r.top, r.range);
        EXPECT_EQ(bottom, r.bottom) << r.top << " " << r.range;
        EXPECT_EQ(colorBarLabel(r.top, correction).toStdString(), r.topLabel);
        EXPECT_EQ(colorBarLabel(bottom, correction).toStdString(), r.bottomLabel);
    }
    EXPECT_EQ(colorBarLabel(-20, notANumber).toStdString(), "-20.0 dB/Hz");
}

TEST(SpectrogramBand, EdgesToBins)
{
    // fs = 1 MHz, N = 256: bins 3906.25 Hz apart, bin b at (b - 128) * 3906.25 Hz,
    // its row reaching half a bin either side; the axis ends at the outer row edges.
    constexpr double bin = 1e6 / 256;
    struct Row
    {
        bool start;
        double hertz;
        int bin;
        double frequency;
    } rows[] = {
        {true, -500000, 0, -128.5 * bin},
        {false, 500000, 255, 127.5 * bin},
        {true, 0, 128, -0.5 * bin},        // on a bin: that bin's row
        {false, 0, 128, 0.5 * bin},
        {true, 1000, 128, -0.5 * bin},     // between bins: the one below the start...
        {false, 1000, 129, 1.5 * bin},     // ...and the one above the stop
        {false, 1000.5, 129, 1.5 * bin},   // a stop is not cut to whole hertz
        {true, -900000, 0, -128.5 * bin},  // outside the band: kept within it
        {false, 900000, 255, 127.5 * bin},
        {false, -900000, 0, -127.5 * bin},
        {true, 900000, 255, 126.5 * bin},
        {true, notANumber, 0, -128.5 * bin},
    };
    for (const Row& r : rows) {
        const BandEdge e = r.start ? startBandEdge(1e6, 256, r.hertz) : stopBandEdge(1e6, 256, r.hertz);
        EXPECT_EQ(e.bin, r.bin) << r.hertz;
        EXPECT_DOUBLE_EQ(e.frequency, r.frequency) << r.hertz;
    }
    // A stop frequency just above a bin reaches the next one (the old whole-hertz
    // stop would have cut it off).
    EXPECT_EQ(stopBandEdge(1e6, 256, 3906.5).bin, 130);
    // No sample rate: nothing divides into a bin, the band stays within the matrix.
    EXPECT_EQ(startBandEdge(0, 256, 0).bin, 0);
    EXPECT_EQ(stopBandEdge(0, 256, 0).bin, 255);
}

TEST(SpectrogramImage, PixelIdenticalToSetPixelColor)
{
    std::mt19937_64 rng(5);
    std::normal_distribution<double> n(-50, 15);
    for (auto [cols, N, first, last] : {std::tuple{1, 8, 0, 7}, {300, 64, 0, 63}, {1000, 256, 102, 153},
                                        {77, 32, 5, 5}, {129, 16, 3, 12},
                                        // wide enough to be shared out over threads
                                        {9000, 64, 0, 63}, {20003, 40, 1, 38}}) {
        std::vector<std::vector<double>> m(cols, std::vector<double>(N));
        for (auto& column : m)
            for (double& v : column)
                v = n(rng);
        m[0][first] = notANumber;
        m[cols - 1][last] = infinity;
        const QImage expected = literalImage(m, first, last, -63, -23);
        const QImage actual = spectrogramImage(pointers(m), first, last, -63, -23, false);
        ASSERT_EQ(actual.size(), expected.size());
        ASSERT_EQ(actual.format(), QImage::Format_RGB32);
        EXPECT_EQ(actual, expected) << cols << " x " << N;
        // Mirrored: the same image upside down.
        EXPECT_EQ(spectrogramImage(pointers(m), first, last, -63, -23, true), expected.mirrored(false, true));
    }
}

TEST(SpectrogramImage, OverBudgetColumnsAreMergedKeepingBursts)
{
    // 1000 columns of 4 bins, a budget of 100 columns: each image column is the
    // per-bin maximum of ten matrix columns, so single-column bursts survive.
    std::vector<std::vector<double>> m(1000, std::vector<double>(4, -60.0));
    m[3][1] = -20;        // burst in image column 0, bin 1
    m[517][2] = -30;      // image column 51, bin 2
    m[999][0] = notANumber; // image column 99, bin 0: NaN shows as the top colour
    const QImage image = spectrogramImage(pointers(m), 0, 3, -60, -20, false, 100 * 4 * 4);
    ASSERT_EQ(image.width(), 100);
    ASSERT_EQ(image.height(), 4);
    for (int x = 0; x < 100; ++x)
        for (int row = 0; row < 4; ++row) {
            const int bin = 3 - row;
            double v = -60;
            if (x == 0 && bin == 1)
                v = -20;
            if (x == 51 && bin == 2)
                v = -30;
            if (x == 99 && bin == 0)
                v = notANumber;
            EXPECT_EQ(image.pixel(x, row), mapColorRgb(v, -60, -20)) << x << " " << row;
        }
    // Merging over threads: 20000 columns into 9000, each the per-bin maximum of
    // its columns (NaN the largest), coloured like the literal image of the maxima.
    std::mt19937_64 rng(9);
    std::normal_distribution<double> n(-50, 15);
    std::vector<std::vector<double>> wide(20000, std::vector<double>(64));
    for (auto& column : wide)
        for (double& v : column)
            v = n(rng);
    wide[4321][7] = notANumber;
    const size_t width = 9000;
    std::vector<std::vector<double>> maxima(width);
    for (size_t x = 0; x < width; ++x) {
        maxima[x] = wide[x * wide.size() / width];
        for (size_t c = x * wide.size() / width + 1; c < (x + 1) * wide.size() / width; ++c)
            for (size_t r = 0; r < 64; ++r)
                if (!std::isnan(maxima[x][r]) && (std::isnan(wide[c][r]) || wide[c][r] > maxima[x][r]))
                    maxima[x][r] = wide[c][r];
    }
    EXPECT_EQ(spectrogramImage(pointers(wide), 0, 63, -63, -23, false, width * 64 * 4),
              literalImage(maxima, 0, 63, -63, -23));

    // Under the budget: one pixel per column.
    EXPECT_EQ(spectrogramImage(pointers(m), 0, 3, -60, -20, false).width(), 1000);
    // The default budget holds 19,603 columns of 256 bins unmerged.
    EXPECT_GE(spectrogramImageBudget / (256 * 4), size_t(19603));
    // Nothing to show.
    EXPECT_TRUE(spectrogramImage({}, 0, 3, -60, -20, false).isNull());
    EXPECT_TRUE(spectrogramImage(pointers(m), 3, 2, -60, -20, false).isNull());
}

// An image of the right size held nowhere else is rewritten in place; one of
// another size, or shared with another image, is left as it was.
TEST(SpectrogramImage, ReusesAMatchingUnsharedImage)
{
    std::mt19937_64 rng(3);
    std::normal_distribution<double> n(-50, 15);
    std::vector<std::vector<double>> m(300, std::vector<double>(64));
    for (auto& column : m)
        for (double& v : column)
            v = n(rng);
    const QImage fresh = spectrogramImage(pointers(m), 2, 60, -63, -23, true);

    QImage reuse(300, 59, QImage::Format_RGB32);
    reuse.fill(Qt::red);
    const uchar* storage = reuse.constBits();
    QImage built = spectrogramImage(pointers(m), 2, 60, -63, -23, true, spectrogramImageBudget, reuse);
    EXPECT_TRUE(reuse.isNull());
    EXPECT_EQ(built.constBits(), storage);
    EXPECT_EQ(built, fresh);

    QImage otherSize(300, 60, QImage::Format_RGB32);
    otherSize.fill(Qt::red);
    EXPECT_EQ(spectrogramImage(pointers(m), 2, 60, -63, -23, true, spectrogramImageBudget, otherSize), fresh);
    EXPECT_EQ(otherSize.size(), QSize(300, 60));
    EXPECT_EQ(otherSize.pixel(0, 0), qRgb(255, 0, 0));

    QImage shared(300, 59, QImage::Format_RGB32);
    shared.fill(Qt::red);
    const QImage holder = shared;
    EXPECT_EQ(spectrogramImage(pointers(m), 2, 60, -63, -23, true, spectrogramImageBudget, shared), fresh);
    EXPECT_EQ(holder.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_FALSE(shared.isNull());
}

TEST(ColorMap, ArrayFormEqualsTheScalarMap)
{
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> u(-80.0, 0.0);
    std::vector<double> values = {-60, -50, -40, -30, -20, notANumber, infinity, -infinity, -1e308, 1e308};
    for (int k = 0; k <= 4000; ++k)
        values.push_back(-60 + k * 0.01);
    for (int k = 0; k < 50001; ++k)
        values.push_back(u(rng));
    std::vector<QRgb> colors(values.size());
    for (auto [low, high] : {std::pair{-60.0, -20.0}, {-63.0, -23.0}, {-7.0, 3.0}, {-5.0, -5.0}}) {
        colorizeRange(values.data(), values.size(), low, high, colors.data());
        for (size_t k = 0; k < values.size(); ++k)
            ASSERT_EQ(colors[k], mapColorRgb(values[k], low, high)) << values[k] << " " << low;
    }
}
