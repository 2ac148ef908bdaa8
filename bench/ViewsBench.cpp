// The views' three heavy paths against their plain ways, measured in one run:
// a 10,000,000-point curve, the power curve of 10,000,000 samples with W = 100,
// and the colour image of 19,603 x 256 spectrogram values.

#include "views/ColorMap.h"
#include "views/CurveRaster.h"
#include "plotdata/PlotMath.h"
#include "views/SpectrogramImage.h"

#include <QColor>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr size_t curvePoints = 10000000;
constexpr int plotWidth = 1000;
constexpr int plotHeight = 300;

struct CurveData
{
    std::vector<double> x, y;
    CurveFrame frame;
};

const CurveData& curveData()
{
    static const CurveData data = [] {
        CurveData d;
        std::mt19937_64 rng(1);
        std::normal_distribution<double> noise(0.0, 0.1);
        d.x.resize(curvePoints);
        d.y.resize(curvePoints);
        for (size_t k = 0; k < curvePoints; ++k) {
            d.x[k] = k / 1e6;
            d.y[k] = std::sin(k * 1e-5) + noise(rng);
        }
        double lo = d.y[0], hi = d.y[0];
        for (double v : d.y) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        d.frame = CurveFrame{d.x.front(), d.x.back(), lo, hi, plotWidth, plotHeight};
        return d;
    }();
    return data;
}

void BM_CurveEverySegment(benchmark::State& state)
{
    const CurveData& d = curveData();
    const double w = plotWidth, h = plotHeight;
    const CurveFrame& f = d.frame;
    for (auto _ : state) {
        QImage image(plotWidth, plotHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, plotWidth, plotHeight), Qt::black);
        painter.setPen(QColor(Qt::white));
        auto map = [&](size_t k) {
            return QPoint(static_cast<int>(w * ((d.x[k] - f.xMin) / (f.xMax - f.xMin))),
                          static_cast<int>(h - (d.y[k] - f.yMin) / (f.yMax - f.yMin) * h));
        };
        for (size_t k = 1; k < d.x.size(); ++k)
            painter.drawLine(map(k - 1), map(k));
        painter.end();
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_CurveEverySegment)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CurveReduced(benchmark::State& state)
{
    const CurveData& d = curveData();
    for (auto _ : state) {
        QImage image = renderCurveImage(d.x.data(), d.y.data(), d.x.size(), d.frame, Qt::black,
                                        Qt::white);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_CurveReduced)->Unit(benchmark::kMillisecond)->MinTime(0.5);

constexpr size_t powerSamples = 10000000;

const std::vector<double>& powerInput(int which)
{
    static const std::vector<double> i = [] {
        std::mt19937_64 rng(2);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::vector<double> v(powerSamples);
        for (double& x : v)
            x = noise(rng);
        return v;
    }();
    static const std::vector<double> q = [] {
        std::mt19937_64 rng(3);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::vector<double> v(powerSamples);
        for (double& x : v)
            x = noise(rng);
        return v;
    }();
    return which == 0 ? i : q;
}

void BM_PowerCurveEveryWindowAfresh(benchmark::State& state)
{
    const auto& i = powerInput(0);
    const auto& q = powerInput(1);
    const uint32_t W = 100, n = powerSamples;
    for (auto _ : state) {
        std::vector<double> p(n);
        for (uint32_t k = 0; k < n; ++k)
            p[k] = 1.0 * 1.0 * ((q[k] * q[k] + i[k] * i[k]) / (1.0 * 1.0)) / 2 / 1.0;
        std::vector<double> d(n, 0.0);
        const uint32_t h = W / 2 - 1;
        for (uint32_t k = h; k < h + n - W; ++k) {
            double sum = 0.0;
            for (uint32_t j = k - h; j < k - h + W; ++j)
                sum += p[j];
            d[k] = 10 * std::log10(sum / W / 0.001 + powerFloor);
        }
        for (uint32_t k = 0; k < h; ++k)
            d[k] = d[h];
        for (uint32_t k = h + n - W; k < n; ++k)
            d[k] = d[h + n - W - 1];
        benchmark::DoNotOptimize(d.data());
    }
}
BENCHMARK(BM_PowerCurveEveryWindowAfresh)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PowerCurve(benchmark::State& state)
{
    const auto& i = powerInput(0);
    const auto& q = powerInput(1);
    for (auto _ : state) {
        std::vector<double> d = powerCurve(i.data(), q.data(), powerSamples, 100, 1, 1, 1);
        benchmark::DoNotOptimize(d.data());
    }
}
BENCHMARK(BM_PowerCurve)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// Into a buffer kept between calls, as the view does: no fresh pages per call.
void BM_PowerCurveReusedBuffer(benchmark::State& state)
{
    const auto& i = powerInput(0);
    const auto& q = powerInput(1);
    std::vector<double> d(powerSamples);
    for (auto _ : state) {
        powerCurve(i.data(), q.data(), powerSamples, 100, 1, 1, 1, d.data());
        benchmark::DoNotOptimize(d.data());
    }
}
BENCHMARK(BM_PowerCurveReusedBuffer)->Unit(benchmark::kMillisecond)->MinTime(0.5);

constexpr size_t imageColumns = 19603;
constexpr size_t imageRows = 256;

const std::vector<std::vector<double>>& spectrogramValues()
{
    static const std::vector<std::vector<double>> m = [] {
        std::mt19937_64 rng(4);
        std::normal_distribution<double> noise(-80.0, 15.0);
        std::vector<std::vector<double>> columns(imageColumns, std::vector<double>(imageRows));
        for (auto& column : columns)
            for (double& v : column)
                v = noise(rng);
        return columns;
    }();
    return m;
}

void BM_SpectrogramImageSetPixelColor(benchmark::State& state)
{
    const auto& m = spectrogramValues();
    const int cols = imageColumns, rows = imageRows;
    for (auto _ : state) {
        QImage image(cols, rows, QImage::Format_RGB32);
        for (int i = 0; i < cols; ++i)
            for (int j = 0; j < rows; ++j)
                image.setPixelColor(i, j, QColor::fromRgb(mapColorRgb(m[i][rows - 1 - j], -63, -23)));
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_SpectrogramImageSetPixelColor)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SpectrogramImageScanLines(benchmark::State& state)
{
    const auto& m = spectrogramValues();
    std::vector<const double*> columns;
    for (const auto& column : m)
        columns.push_back(column.data());
    for (auto _ : state) {
        QImage image = spectrogramImage(columns, 0, imageRows - 1, -63, -23, false);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_SpectrogramImageScanLines)->Unit(benchmark::kMillisecond)->MinTime(0.5);

} // namespace
