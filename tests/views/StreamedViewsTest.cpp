// The views compute their curves in one streaming pass, reduced per pixel
// column: their pictures must be those of the whole curve drawn point by point.

#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "plotdata/PlotMath.h"
#include "plotdata/PowerCurveStream.h"
#include "views/PowerView.h"

#include "io/Recording.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

QImage grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct Row
{
    size_t count;
    uint32_t rate;
    double start, stop;
    uint32_t window;
    int width, height;
    // 0: finite; 1: NaN at both ends of the range; 2: infinities and NaN inside.
    int special;
};

// Noise whose level steps up in the middle, with the row's special values.
void fill(Recording& recording, const Row& r)
{
    std::mt19937_64 rng(r.count);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> i(r.count), q(r.count);
    for (size_t k = 0; k < r.count; ++k) {
        const double level = k > r.count / 2 ? 3.0 : 1.0;
        i[k] = level * noise(rng);
        q[k] = level * noise(rng);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto first = size_t(std::floor(r.rate * r.start));
    const auto last = std::min(r.count - 1, size_t(std::ceil(r.rate * r.stop)));
    if (r.special == 1)
        for (size_t k = 0; k < 40; ++k) {
            i[first + k] = nan;
            q[last - k] = nan;
        }
    if (r.special == 2) {
        i[r.count / 3] = inf;
        q[r.count / 3 + 7] = -inf;
        i[r.count / 4] = nan;
    }
    recording.assign(r.rate, std::move(i), std::move(q));
}

const Row rows[] = {
    {5000, 10000, 0.0, 0.5, 100, 500, 300, 0},     // fewer points than pixels... and more
    {200000, 48000, 0.5, 3.9, 100, 900, 250, 0},   // many points per column
    {200000, 48000, 0.0, 200000 / 48000.0, 2, 777, 200, 1},
    {300000, 1000000, 0.01, 0.29, 1, 640, 240, 2}, // no averaging
    {3000, 1000, 0.0, 3.0, 5000, 500, 200, 0},     // window longer than the range
    {3000, 1000, 1.0, 1.0005, 100, 500, 200, 0},   // a single point
};

} // namespace

TEST(StreamedViews, PowerCurveDrawsWhatEveryPointDraws)
{
    for (const Row& r : rows) {
        Recording recording;
        fill(recording, r);
        PowerView view(&recording);
        view.resize(r.width, r.height);
        view.setAverageWindow(int(r.window));
        grab(view); // lay the plot out
        view.setTimeRange(r.start, r.stop);
        auto* plot = view.findChild<CustomPlot*>("plot");

        CustomPlot reference("Time (s)", "Power (dBm)");
        reference.setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
        reference.resize(plot->size());
        const SampleRange range = sampleRange(r.rate, uint32_t(r.count), r.start, r.stop);
        // The recording's own curve at the range's samples.
        const std::vector<double> whole = powerCurve(recording.iSamples().data(), recording.qSamples().data(),
                                                     r.count, r.window, 1.0, 1.0, 1.0);
        reference.setData(sampleTimes(range, r.rate),
                          std::vector<double>(whole.begin() + range.first, whole.begin() + range.end), false);
        EXPECT_EQ(grab(*plot), grab(reference)) << r.count << " " << r.window << " " << r.special;
    }
}

TEST(StreamedViews, AmplitudeCurvesDrawWhatEveryPointDraws)
{
    for (const Row& r : rows) {
        Recording recording;
        fill(recording, r);
        AmplitudeView view(&recording);
        view.resize(r.width, 2 * r.height);
        grab(view);
        view.setTimeRange(r.start, r.stop);
        const SampleRange range = sampleRange(r.rate, uint32_t(r.count), r.start, r.stop);
        for (const char* name : {"iPlot", "qPlot"}) {
            auto* plot = view.findChild<CustomPlot*>(name);
            const auto& values = name[0] == 'i' ? recording.iSamples() : recording.qSamples();
            CustomPlot reference("Time (s)", name[0] == 'i' ? "I amplitude" : "Q amplitude");
            reference.setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
            reference.resize(plot->size());
            reference.setData(sampleTimes(range, r.rate),
                              std::vector<double>(values.begin() + range.first, values.begin() + range.end),
                              true);
            EXPECT_EQ(grab(*plot), grab(reference)) << name << " " << r.count << " " << r.special;
        }
    }
}

// A plot made wider or narrower than its curve was reduced for has the curve
// gathered again for the new width.
TEST(StreamedViews, NewWidthRecomputes)
{
    const Row r = rows[1];
    Recording recording;
    fill(recording, r);
    PowerView view(&recording);
    view.resize(900, 250);
    grab(view);
    view.setTimeRange(r.start, r.stop);
    auto* plot = view.findChild<CustomPlot*>("plot");
    view.resize(640, 250);
    const QImage narrow = grab(*plot);
    EXPECT_FALSE(plot->curveNeedsNewWidth());
    PowerView fresh(&recording);
    fresh.resize(640, 250);
    grab(fresh);
    fresh.setTimeRange(r.start, r.stop);
    EXPECT_EQ(narrow, grab(*fresh.findChild<CustomPlot*>("plot")));
}

// The power curve of a range fed in blocks of every size gathers the same
// points as the whole recording's curve gathered at once over the range (block
// edges cut windows and columns; the range's windows reach past its ends).
TEST(StreamedViews, PowerCurveInAnyBlocksGathersTheWholeCurve)
{
    constexpr size_t n = 20000;
    constexpr double rate = 1000.0;
    std::mt19937_64 rng(4);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> i(n), q(n);
    for (size_t k = 0; k < n; ++k) {
        i[k] = noise(rng) * (k % 5000 < 100 ? 10.0 : 1.0);
        q[k] = noise(rng);
    }
    for (const auto& [first, count] : {std::pair<size_t, size_t>{37, n - 37 - 11}, {0, n}, {5, 60}}) {
        const double xMin = first / rate;
        const double xMax = (first + count - 1) / rate;
        for (const uint32_t window : {1u, 2u, 100u, 1001u, 19000u, 30000u}) {
            PowerCurveSettings settings;
            settings.window = window;
            CurveEnvelope whole(xMin, xMax, 333, first, rate);
            const std::vector<double> curve = powerCurve(i.data(), q.data(), n, window, 1.0, 1.0, 1.0);
            whole.add(curve.data() + first, count);
            const ReducedCurve expected = whole.result(false);
            const StreamRange reads = PowerCurveStream::reads(n, window, first, first + count);
            for (const size_t maxBlock : {size_t(1) << 20, size_t(997), size_t(3)}) {
                PowerCurveStream stream(n, first, count, rate, settings, xMin, xMax, 333);
                std::uniform_int_distribution<size_t> size(1, maxBlock);
                WorkControl control;
                for (size_t k = reads.first; k < reads.end;) {
                    const size_t length = std::min(size(rng), reads.end - k);
                    stream.consume(k, length, i.data() + k, q.data() + k, control);
                    k += length;
                }
                const ReducedCurve got = stream.result();
                EXPECT_EQ(got.x, expected.x) << first << " " << window << " " << maxBlock;
                EXPECT_EQ(got.y, expected.y) << first << " " << window << " " << maxBlock;
                EXPECT_EQ(got.sourcePoints, count);
            }
        }
    }
}
