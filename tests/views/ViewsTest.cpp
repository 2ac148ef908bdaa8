// The four views on synthetic recordings: what they draw, and that ranges past
// the recording, short ranges and odd settings read nothing outside the data.

#include "views/AmplitudeView.h"
#include "views/ColorMap.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramImage.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include "dsp/Spectrogram.h"
#include "io/Recording.h"

#include <QLayout>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double twoPi = 6.283185307179586;

// A complex tone of `frequency` Hz over weak noise.
void assignTone(Recording& recording, uint32_t fs, size_t n, double frequency)
{
    std::mt19937_64 rng(1);
    std::normal_distribution<double> noise(0.0, 0.001);
    std::vector<double> i(n), q(n);
    for (size_t k = 0; k < n; ++k) {
        i[k] = std::cos(twoPi * frequency * k / fs) + noise(rng);
        q[k] = std::sin(twoPi * frequency * k / fs) + noise(rng);
    }
    recording.assign(fs, std::move(i), std::move(q));
}

QImage grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int whitePixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int row = area.top(); row <= area.bottom(); ++row)
        for (int col = area.left(); col <= area.right(); ++col)
            count += image.pixel(col, row) == qRgb(255, 255, 255);
    return count;
}

// Interior of a CustomPlot's plot area (clear of the axis lines).
QRect curveArea(const QWidget& plot)
{
    return QRect(111, 15, plot.width() - 191, plot.height() - 66);
}

} // namespace

TEST(AmplitudeViewWidget, DrawsBothCurvesAndSurvivesBadRanges)
{
    Recording recording;
    assignTone(recording, 1000, 1000, 50);
    AmplitudeView view(&recording);
    view.resize(500, 500);
    // The plots take the view's height between them.
    view.layout()->activate();
    view.setTimeRange(0, 1);
    auto* iPlot = view.findChild<CustomPlot*>("iPlot");
    auto* qPlot = view.findChild<CustomPlot*>("qPlot");
    ASSERT_TRUE(iPlot && qPlot);
    EXPECT_GT(whitePixels(grab(*iPlot), curveArea(*iPlot)), 300);
    EXPECT_GT(whitePixels(grab(*qPlot), curveArea(*qPlot)), 300);

    // Starting past the end: no samples, nothing drawn, nothing read.
    view.setTimeRange(2, 3);
    EXPECT_EQ(whitePixels(grab(*iPlot), curveArea(*iPlot)), 0);
    view.setTimeRange(-5, 1e12);
    EXPECT_GT(whitePixels(grab(*iPlot), curveArea(*iPlot)), 300);
}

TEST(PowerViewWidget, RefreshUsesTheStoredRangeAndNewSettings)
{
    Recording recording;
    std::mt19937_64 rng(2);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> i(5000), q(5000);
    for (size_t k = 0; k < 5000; ++k) {
        i[k] = noise(rng);
        q[k] = noise(rng);
    }
    recording.assign(10000, i, q);
    PowerView view(&recording);
    view.resize(500, 300);
    EXPECT_EQ(view.averageWindow(), 100u);
    EXPECT_EQ(view.fullScaleValue(), 1.0);
    EXPECT_EQ(view.fullScaleVoltage(), 1.0);
    EXPECT_EQ(view.inputImpedance(), 1.0);
    auto* plot = view.findChild<CustomPlot*>("plot");
    ASSERT_TRUE(plot);

    view.setTimeRange(0.1, 0.4);
    const QImage averaged = grab(*plot);
    // The setters only store.
    view.setAverageWindow(1);
    EXPECT_EQ(grab(*plot), averaged);
    // refresh recomputes over the same range: the unaveraged curve is much busier.
    view.refresh();
    const QImage raw = grab(*plot);
    EXPECT_GT(whitePixels(raw, curveArea(*plot)), 2 * whitePixels(averaged, curveArea(*plot)));
    view.setAverageWindow(100);
    view.refresh();
    EXPECT_EQ(grab(*plot), averaged);

    // Windows that do not fit and ranges past the end terminate and read nothing outside.
    for (int w : {0, 1, 2, 4999, 5000, 100000, -1}) {
        view.setAverageWindow(w);
        view.setTimeRange(0, 0.5);
        view.setTimeRange(0.4999, 0.5);
        view.setTimeRange(1, 2);
    }
}

TEST(SpectrumViewWidget, ToneLandsAtItsFrequency)
{
    Recording recording;
    const uint32_t fs = 1000000;
    assignTone(recording, fs, 20000, 200000);
    SpectrumView view(&recording);
    view.resize(800, 400);
    view.setFftSize(256);
    view.setOverlap(0.8);
    view.setStartFrequency(-500000);
    view.setStopFrequency(500000);
    view.setTimeRange(0, 0.02);
    auto* plot = view.findChild<CustomPlot*>("plot");
    ASSERT_TRUE(plot);
    // The highest white pixel of the plot area: the peak's row and column.
    const auto peakOf = [](const QImage& shot, int width) {
        for (int row = 15; row < shot.height() - 50; ++row)
            for (int col = 111; col < 110 + width; ++col)
                if (shot.pixel(col, row) == qRgb(255, 255, 255))
                    return QPoint(col - 110, row);
        return QPoint(-1, -1);
    };
    // The peak lies near +200 kHz (x runs from -500000 to 500000 - fs/256 over
    // 610 pixels), 8 % of the range below the top row (15) of the plot area,
    // which leaves its marker room.
    const int w = 800 - 190;
    const double xMax = 500000 - fs / 256.0;
    const int expectedColumn = static_cast<int>(w * ((200000 + 500000) / (xMax + 500000)));
    const int headroomRows = (400 - 15 - 50) * 8 / 108;
    const QPoint peak = peakOf(grab(*plot), w);
    EXPECT_NEAR(peak.x(), expectedColumn, 3);
    EXPECT_NEAR(peak.y(), 15 + headroomRows, 2);

    // A negative tone lands left of the middle: the curve is not folded.
    assignTone(recording, fs, 20000, -200000);
    view.refresh();
    const QPoint negativePeak = peakOf(grab(*plot), w);
    EXPECT_NEAR(negativePeak.x(), static_cast<int>(w * (300000 / (xMax + 500000))), 3);
}

TEST(SpectrumViewWidget, DegenerateSettingsAndRanges)
{
    Recording recording;
    assignTone(recording, 1000000, 1000, 1000);
    SpectrumView view(&recording);
    view.resize(600, 300);
    auto* plot = view.findChild<CustomPlot*>("plot");
    view.setStartFrequency(-500000);
    view.setStopFrequency(500000);
    // N = 2: every point is NaN; the axes are drawn without a curve.
    view.setFftSize(2);
    view.setOverlap(0.8);
    view.setTimeRange(0, 0.001);
    EXPECT_EQ(whitePixels(grab(*plot), curveArea(*plot)), 0);
    // A range shorter than one segment, past the end, and odd sizes and overlaps.
    struct Row
    {
        int size;
        double overlap;
        double start, stop;
    } rows[] = {
        {256, 0.8, 0, 0.0001}, {256, 0.8, 0.002, 0.003}, {1024, 0.8, 0, 0.001},
        {256, 1.0, 0, 0.001},  {256, 1.5, 0, 0.001},     {256, -1, 0, 0.001},
        {256, std::nan(""), 0, 0.001}, {0, 0.5, 0, 0.001}, {-8, 0.5, 0, 0.001},
        {100, 0.5, 0, 0.001},  {1 << 30, 0.5, 0, 0.001},
    };
    for (const Row& r : rows) {
        view.setFftSize(r.size);
        view.setOverlap(r.overlap);
        view.setTimeRange(r.start, r.stop);
    }
    // The band outside +-fs/2 or inverted.
    view.setFftSize(256);
    view.setOverlap(0.5);
    view.setStartFrequency(-2e6);
    view.setStopFrequency(2e6);
    view.refresh();
    EXPECT_GT(whitePixels(grab(*plot), curveArea(*plot)), 100);
    view.setStartFrequency(1e6);
    view.setStopFrequency(2e6);
    view.refresh();
    EXPECT_EQ(whitePixels(grab(*plot), curveArea(*plot)), 0);
}

namespace {

// A spectrogram view on a tone, band -fs/2 ... fs/2, image built.
struct SpectrogramFixture
{
    Recording recording;
    SpectrogramView view{&recording};

    SpectrogramFixture(int width, int height, double tone = 200000)
    {
        assignTone(recording, 1000000, 100000, tone);
        view.resize(width, height);
        view.setTimeRange(0, 0.1);
        view.setStartFrequency(-500000);
        view.setStopFrequency(500000);
        view.setMirror(false);
        view.rebuildImage();
    }
};

bool isMapColor(QRgb pixel)
{
    return pixel != qRgb(255, 255, 255) && qAlpha(pixel) == 255 &&
           (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel));
}

} // namespace

TEST(SpectrogramViewWidget, NothingBeforeTheFirstImage)
{
    Recording recording;
    assignTone(recording, 1000000, 10000, 0);
    SpectrogramView view(&recording);
    view.resize(500, 250);
    EXPECT_EQ(view.fftSize(), 256u);
    EXPECT_EQ(view.overlap(), 0.8);
    EXPECT_EQ(view.range(), 40.0);
    const QImage shot = grab(view);
    for (int row = 0; row < 250; row += 5)
        for (int col = 0; col < 500; col += 5)
            ASSERT_EQ(shot.pixel(col, row), shot.pixel(0, 0));
}

TEST(SpectrogramViewWidget, GeometryAndColourBar)
{
    SpectrogramFixture f(500, 250);
    const QImage shot = grab(f.view);
    ASSERT_EQ(shot.size(), QSize(500, 250));
    const QRgb background = shot.pixel(495, 245);
    // Plot rectangle 310 x 180 at (110, 20), filled by the image.
    for (int row = 21; row < 200; row += 3)
        for (int col = 111; col < 420; col += 3)
            ASSERT_TRUE(isMapColor(shot.pixel(col, row))) << col << " " << row;
    EXPECT_TRUE(isMapColor(shot.pixel(419, 199)));
    EXPECT_EQ(shot.pixel(420, 100), background);
    EXPECT_EQ(shot.pixel(300, 19), background);
    EXPECT_EQ(shot.pixel(110, 100), qRgb(255, 255, 255)); // y axis over the image
    EXPECT_EQ(shot.pixel(300, 200), qRgb(255, 255, 255)); // x axis

    // Colour bar 20 x 140 at (450, 40): row i shows the scale at
    // (top - bottom) * (1 - i / 140) + bottom, outlined in white.
    Spectrogram reference(&f.recording);
    reference.setTimeRange(0, 0.1);
    const int top = reference.maxPower();
    const int bottom = top - 40;
    for (int i = 1; i < 139; ++i) {
        const double value = 40 * (1 - i / 140.0) + bottom;
        EXPECT_EQ(shot.pixel(460, 40 + i), mapColorRgb(value, bottom, top)) << i;
    }
    // The outline of a 20-pixel box runs along columns 450 and 470.
    EXPECT_EQ(shot.pixel(450, 100), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(470, 100), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(460, 40), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(449, 100), background);
    EXPECT_EQ(shot.pixel(460, 38), background);
}

TEST(SpectrogramViewWidget, ToneRowAndMirroring)
{
    // A plot 256 pixels high shows the 256 bins one row each, so mirroring is an
    // exact flip of the plot area.
    SpectrogramFixture f(500, 326, 200000);
    const QRect area(111, 20, 309, 256);
    const QImage plain = grab(f.view).copy(area);
    // +200 kHz is bin 128 + 51.2: the brightest row lies in the upper half.
    int brightest = -1;
    int brightness = -1;
    for (int row = 0; row < 256; ++row) {
        const QRgb p = plain.pixel(150, row);
        if (qRed(p) + qGreen(p) > brightness) {
            brightness = qRed(p) + qGreen(p);
            brightest = row;
        }
    }
    EXPECT_NEAR(brightest, 255 - (128 + 51), 2);

    f.view.setMirror(true);
    const QImage mirrored = grab(f.view).copy(area);
    EXPECT_EQ(mirrored, plain.mirrored(false, true));
    // Painting again, and a rebuild while mirrored, give the same picture.
    EXPECT_EQ(grab(f.view).copy(area), mirrored);
    f.view.rebuildImage();
    EXPECT_EQ(grab(f.view).copy(area), mirrored);
    f.view.setMirror(false);
    EXPECT_EQ(grab(f.view).copy(area), plain);
}

// Paints reuse the image scaled to the plot; what they show must be what drawing
// the colour image straight into the plot rectangle shows, at every size (up
// and down), orientation and rebuild.
TEST(SpectrogramViewWidget, CachedScalingPaintsTheDirectlyScaledImage)
{
    SpectrogramFixture f(500, 250);
    auto direct = [&f] {
        const QRect plot(110, 20, f.view.width() - 190, f.view.height() - 70);
        QPixmap pixmap(f.view.size());
        pixmap.fill(Qt::black);
        QPainter painter(&pixmap);
        painter.drawImage(plot, f.view.colourImage());
        painter.end();
        // Column 110 carries the y axis.
        return pixmap.toImage().convertToFormat(QImage::Format_RGB32).copy(plot.adjusted(1, 0, 0, 0));
    };
    auto painted = [&f] {
        const QRect plot(111, 20, f.view.width() - 191, f.view.height() - 70);
        return grab(f.view).copy(plot);
    };
    for (QSize size : {QSize(500, 250), QSize(1700, 300), QSize(640, 900), QSize(333, 777)}) {
        f.view.resize(size);
        for (bool mirrored : {false, true, false}) {
            f.view.setMirror(mirrored);
            const QImage first = painted();
            EXPECT_EQ(first, direct()) << size.width() << "x" << size.height() << " " << mirrored;
            EXPECT_EQ(painted(), first);
        }
    }
    // A rebuild (another range) replaces what the cache holds.
    const QImage before = painted();
    f.view.setRange(10);
    f.view.rebuildImage();
    const QImage after = painted();
    EXPECT_NE(after, before);
    EXPECT_EQ(after, direct());
}

// A range too short for one FFT shows no picture, never the one of another
// range: the plot area holds only a grey note on black.
TEST(SpectrogramViewWidget, RangeShorterThanOneFftShowsNoPicture)
{
    SpectrogramFixture f(500, 250);
    const QRect area(111, 21, 309, 179);
    const QImage before = grab(f.view).copy(area);
    // 100 samples cannot fill a 256-point column; past the end there are none.
    for (auto [start, stop] : {std::pair{0.0, 0.0001}, std::pair{5.0, 6.0}}) {
        f.view.setTimeRange(start, stop);
        f.view.rebuildImage();
        EXPECT_TRUE(f.view.rangeTooShort());
        EXPECT_TRUE(f.view.colourImage().isNull());
        const QImage shown = grab(f.view).copy(area);
        int coloured = 0;
        int text = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb p = shown.pixel(x, y);
                coloured += qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
                text += qRed(p) > 128;
            }
        EXPECT_EQ(coloured, 0) << start;
        EXPECT_GT(text, 20) << start;
        EXPECT_TRUE(f.view.placedAnnotations().empty());
    }
    f.view.setTimeRange(0, 0.1);
    f.view.rebuildImage();
    EXPECT_FALSE(f.view.rangeTooShort());
    EXPECT_EQ(grab(f.view).copy(area), before);
}

TEST(SpectrogramViewWidget, BandAndSizeChangesStayInsideTheMatrix)
{
    SpectrogramFixture f(500, 250);
    // A narrower band shows fewer bins; a band set for a larger FFT size than the
    // matrix holds is cut to the matrix.
    f.view.setStartFrequency(-100000);
    f.view.setStopFrequency(100000);
    f.view.rebuildImage();
    f.view.setFftExponent(10);
    f.view.setStartFrequency(-500000);
    f.view.setStopFrequency(500000);
    f.view.rebuildImage(); // matrix still of 256-point columns
    f.view.recompute();
    f.view.rebuildImage();
    EXPECT_EQ(f.view.fftSize(), 1024u);
    f.view.setFftExponent(1);
    f.view.recompute();
    f.view.setStartFrequency(-500000);
    f.view.setStopFrequency(500000);
    f.view.rebuildImage();
    f.view.setRange(0);
    f.view.rebuildImage();
    f.view.setRange(std::nan(""));
    f.view.rebuildImage();
    const QImage shot = grab(f.view);
    EXPECT_TRUE(isMapColor(shot.pixel(200, 100)));
}

namespace {

// Row (from the top of the plot area) of the brightest pixel in each column.
std::vector<int> brightestRows(const QImage& area)
{
    std::vector<int> rows(area.width());
    for (int col = 0; col < area.width(); ++col) {
        int best = -1;
        for (int row = 0; row < area.height(); ++row) {
            const QRgb p = area.pixel(col, row);
            if (qRed(p) + qGreen(p) > best) {
                best = qRed(p) + qGreen(p);
                rows[col] = row;
            }
        }
    }
    return rows;
}

} // namespace

// Ranges of far more columns than the plot has pixels: every pixel column pools
// its share of time columns, so the whole range runs left to right once and a
// short burst stays visible (the painter alone would wrap past 65,535 columns
// and drop columns it scales away).
TEST(SpectrogramViewWidget, LongRangesArePooledAcrossThePlot)
{
    constexpr uint32_t fs = 2400000;
    struct Case
    {
        size_t samples;
        bool chirp; // else silence with a 2,000-sample tone burst in the middle
    };
    for (const Case c : {Case{8000000, true}, Case{20000000, false}}) {
        std::vector<double> i(c.samples, 0.0), q(c.samples, 0.0);
        if (c.chirp) {
            // From -0.45 fs to +0.45 fs over the whole recording.
            const double rate = 0.9 * fs / (double(c.samples) / fs);
            for (size_t k = 0; k < c.samples; ++k) {
                const double t = double(k) / fs;
                const double phase = twoPi * (-0.45 * fs * t + rate * t * t / 2);
                i[k] = std::cos(phase);
                q[k] = std::sin(phase);
            }
        } else {
            for (size_t k = c.samples / 2; k < c.samples / 2 + 2000; ++k) {
                i[k] = std::cos(twoPi * 0.25 * double(k));
                q[k] = std::sin(twoPi * 0.25 * double(k));
            }
        }
        Recording recording;
        recording.assign(fs, std::move(i), std::move(q));
        SpectrogramView view(&recording);
        view.resize(900, 326); // plot 710 x 256 pixels
        view.setTimeRange(0, double(c.samples) / fs);
        view.setStartFrequency(-double(fs) / 2);
        view.setStopFrequency(int(fs / 2));
        view.rebuildImage();
        EXPECT_EQ(view.colourImage().width(), 710);
        const QImage area = grab(view).copy(QRect(111, 20, 709, 256));
        const std::vector<int> rows = brightestRows(area);
        if (c.chirp) {
            // Rising frequency: the brightest row climbs from the bottom to the top.
            EXPECT_GT(rows.front(), 220);
            EXPECT_LT(rows.back(), 36);
            for (size_t col = 1; col < rows.size(); ++col)
                EXPECT_LE(rows[col], rows[col - 1] + 1) << col;
        } else {
            // The burst is the strongest value: in the middle pixel column, at
            // fs / 4 (bin 192, row 63); the silence around it is the bottom colour.
            const QRgb bottom = mapColorRgb(-1e9, 0, 1);
            std::vector<int> burstColumns;
            for (int col = 0; col < area.width(); ++col)
                if (area.pixel(col, 63) != bottom)
                    burstColumns.push_back(col);
            ASSERT_FALSE(burstColumns.empty());
            EXPECT_LE(burstColumns.size(), 3u);
            EXPECT_NEAR(burstColumns.front(), 354, 1);
            EXPECT_EQ(rows[354], 63);
        }
    }
}

// While there are at most twice as many columns as pixels, the image is one
// column per time column, scaled by the painter, exactly as without pooling.
TEST(SpectrogramViewWidget, FewColumnsKeepTheUnpooledImage)
{
    SpectrogramFixture f(1400, 300); // 1,956 columns on 1,210 pixels
    Spectrogram reference(&f.recording);
    reference.setTimeRange(0, 0.1);
    const ColumnMatrix& m = reference.columns();
    ASSERT_EQ(m.size(), 1956u);
    std::vector<const double*> columns(m.size());
    for (size_t c = 0; c < m.size(); ++c)
        columns[c] = m.column(c);
    const int top = reference.maxPower();
    // 256 bins in a plot 230 pixels high: one row per pixel, pooled.
    QImage none;
    const QImage expected = spectrogramImage(columns, 0, 255, top - 40, top, false,
                                             spectrogramImageBudget, none, SIZE_MAX, 230);
    EXPECT_EQ(f.view.colourImage(), expected);
    // Narrower than half the columns: computed again, pooled by maximum into
    // twice the plot's width as the columns stream past, then into one column
    // per pixel: the image pooled straight from the whole matrix.
    f.view.resize(900, 300);
    grab(f.view);
    EXPECT_EQ(f.view.colourImage(),
              spectrogramImage(columns, 0, 255, top - 40, top, false, spectrogramImageBudget, none, 710, 230));
    f.view.resize(1400, 300);
    grab(f.view);
    EXPECT_EQ(f.view.colourImage(), expected);
}
