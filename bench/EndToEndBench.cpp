// The whole application at work: loadFile of a 10,000,000-sample cf32 SigMF
// recording at the default settings, until every view is computed and painted
// once. The yardstick is the same work done by the literal algorithms (a reader
// decoding one value at a time, literal FFT spectrogram and Welch estimate,
// moving average summed afresh per window, one drawn line per curve segment, one
// setPixelColor per spectrogram pixel),
// timed on a slice of the recording and scaled to its full length, since they
// are linear in it and would take minutes in full.

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "tests/dsp/LiteralReference.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr uint32_t benchRate = 1000000;
constexpr uint32_t benchSamples = 10000000;
// The literal kernels run on 1/sliceFactor of the samples.
constexpr uint32_t sliceFactor = 50;

struct BenchRecording
{
    QTemporaryDir dir;
    QString metaPath;
};

// Noise, a tone and a chirp, written once per run as a SigMF pair; no samples are
// kept in memory, so that the peak memory of a run is the application's.
const BenchRecording& benchRecording()
{
    static const std::unique_ptr<BenchRecording> recording = [] {
        auto r = std::make_unique<BenchRecording>();
        std::mt19937 generator(7);
        std::normal_distribution<float> noise(0.0f, 0.01f);
        std::string data(std::size_t(benchSamples) * 8, '\0');
        for (uint32_t k = 0; k < benchSamples; ++k) {
            const double t = double(k) / benchRate;
            const double phase = 2 * M_PI * (100000.0 * t + 20000.0 * t * t);
            const float iv = float(0.5 * std::cos(phase) + 0.1 * std::cos(2 * M_PI * -250000.0 * t))
                             + noise(generator);
            const float qv = float(0.5 * std::sin(phase) + 0.1 * std::sin(2 * M_PI * -250000.0 * t))
                             + noise(generator);
            std::memcpy(&data[std::size_t(k) * 8], &iv, 4);
            std::memcpy(&data[std::size_t(k) * 8 + 4], &qv, 4);
        }
        r->metaPath = r->dir.filePath("bench.sigmf-meta");
        std::ofstream(r->dir.filePath("bench.sigmf-data").toStdString(), std::ios::binary)
            .write(data.data(), std::streamsize(data.size()));
        std::ofstream(r->metaPath.toStdString())
            << "{\"global\": {\"core:datatype\": \"cf32_le\", \"core:sample_rate\": " << benchRate
            << ", \"core:version\": \"1.0.0\"}, \"captures\": [], \"annotations\": []}";
        return r;
    }();
    return *recording;
}

void BM_EndToEndLoadAndPaint(benchmark::State& state)
{
    const BenchRecording& recording = benchRecording();
    MainWindow window(QStringList{"norvale"});
    window.resize(1600, 1000);
    window.show();
    QApplication::processEvents();
    auto* panel = static_cast<ControlPanel*>(window.findChild<QWidget*>("controlPanel"));
    const QList<QWidget*> views = {
        window.findChild<QWidget*>("spectrogramView"), window.findChild<QWidget*>("powerView"),
        window.findChild<QWidget*>("amplitudeView"), window.findChild<QWidget*>("spectrumView")};
    for (auto _ : state) {
        panel->loadFile(recording.metaPath, 0);
        while (panel->busy())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // Hidden views (the amplitude view, the other tab) are painted by grab too.
        for (QWidget* view : views)
            benchmark::DoNotOptimize(view->grab());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * benchSamples);
}
BENCHMARK(BM_EndToEndLoadAndPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// One white line per segment on a black image, as a literal plot raster.
QImage literalCurve(const std::vector<double>& x, const std::vector<double>& y, int w, int h)
{
    double xMin = x[0], xMax = x[0], yMin = y[0], yMax = y[0];
    for (std::size_t k = 0; k < x.size(); ++k) {
        xMin = std::min(xMin, x[k]);
        xMax = std::max(xMax, x[k]);
        yMin = std::min(yMin, y[k]);
        yMax = std::max(yMax, y[k]);
    }
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h, Qt::black);
    painter.setPen(QColor(Qt::white));
    auto point = [&](std::size_t k) {
        return QPoint(int(w * ((x[k] - xMin) / (xMax - xMin))),
                      int(h - (y[k] - yMin) / (yMax - yMin) * h));
    };
    for (std::size_t k = 1; k < x.size(); ++k)
        painter.drawLine(point(k - 1), point(k));
    return image;
}

QColor literalMapColor(double v, double low, double high)
{
    static const double position[5] = {0.0, 0.25, 0.5, 0.75, 1.0};
    static const int rgb[5][3] = {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98},
                                  {253, 231, 37}};
    const double t = (v - low) / (high - low);
    double d = std::isnan(t) ? 1.0 : std::min(1.0, t);
    d = std::max(0.0, d);
    for (int s = 0; s < 4; ++s) {
        if (position[s] <= d && d <= position[s + 1]) {
            const double f = (d - position[s]) / (position[s + 1] - position[s]);
            return QColor(int((rgb[s + 1][0] - rgb[s][0]) * f + rgb[s][0]),
                          int((rgb[s + 1][1] - rgb[s][1]) * f + rgb[s][1]),
                          int((rgb[s + 1][2] - rgb[s][2]) * f + rgb[s][2]));
        }
    }
    return QColor(253, 231, 37);
}

// The literal kernels of one load over a slice; the counter gives the time the
// full recording would take (slice time x sliceFactor), per kernel and in total.
void BM_EndToEndLiteralKernels(benchmark::State& state)
{
    const uint32_t n = benchSamples / sliceFactor;
    const double fs = benchRate;
    const int plotWidth = 1100, plotHeight = 300;
    using Clock = std::chrono::steady_clock;
    double readSeconds = 0, spectrogramSeconds = 0, imageSeconds = 0, welchSeconds = 0,
           powerSeconds = 0, curveSeconds = 0;
    const std::string dataPath =
        benchRecording().dir.filePath("bench.sigmf-data").toStdString();
    auto secondsSince = [](Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (auto _ : state) {
        // The reader: the slice's bytes through an 8192-byte buffer, one value at a time.
        auto start = Clock::now();
        std::vector<double> i, q;
        {
            std::ifstream file(dataPath, std::ios::binary);
            char buffer[8192];
            std::size_t wanted = std::size_t(n) * 8;
            while (wanted > 0 && file.read(buffer, std::streamsize(std::min(wanted, sizeof buffer)))) {
                const std::size_t got = std::size_t(file.gcount());
                for (std::size_t b = 0; b + 8 <= got; b += 8) {
                    float iv, qv;
                    std::memcpy(&iv, buffer + b, 4);
                    std::memcpy(&qv, buffer + b + 4, 4);
                    i.push_back(iv);
                    q.push_back(qv);
                }
                wanted -= got;
            }
        }
        readSeconds += secondsSince(start);

        start = Clock::now();
        const literal::SpectrogramResult columns =
            literal::spectrogram(i, q, benchRate, 0, n - 1, 256, 0.8);
        spectrogramSeconds += secondsSince(start);

        start = Clock::now();
        const int top = int(columns.maxValue);
        QImage image(int(columns.columns.size()), 256, QImage::Format_RGB32);
        for (int c = 0; c < image.width(); ++c)
            for (int row = 0; row < 256; ++row)
                image.setPixelColor(c, row, literalMapColor(columns.columns[c][255 - row],
                                                            double(int(top - 40.0)), top));
        imageSeconds += secondsSince(start);

        start = Clock::now();
        std::vector<std::complex<double>> x(n);
        for (uint32_t k = 0; k < n; ++k)
            x[k] = {i[k], q[k]};
        benchmark::DoNotOptimize(literal::welchSpectrum(x, 256, 256, 204));
        welchSeconds += secondsSince(start);

        start = Clock::now();
        const uint32_t window = 100;
        const uint32_t h = window / 2 - 1;
        std::vector<double> p(n), d(n, 0.0), t(n);
        for (uint32_t k = 0; k < n; ++k) {
            p[k] = 1.0 * 1.0 * ((q[k] * q[k] + i[k] * i[k]) / (1.0 * 1.0)) / 2 / 1.0;
            t[k] = k / fs;
        }
        for (uint32_t k = h; k < h + n - window; ++k) {
            double sum = 0.0;
            for (uint32_t j = k - h; j < k - h + window; ++j)
                sum += p[j];
            d[k] = 10 * std::log10(sum / window / 0.001 + 2.220446049250313e-16);
        }
        for (uint32_t k = 0; k < h; ++k)
            d[k] = d[h];
        for (uint32_t k = h + n - window; k < n; ++k)
            d[k] = d[h + n - window - 1];
        powerSeconds += secondsSince(start);

        start = Clock::now();
        benchmark::DoNotOptimize(literalCurve(t, d, plotWidth, plotHeight));
        benchmark::DoNotOptimize(literalCurve(t, i, plotWidth, plotHeight));
        benchmark::DoNotOptimize(literalCurve(t, q, plotWidth, plotHeight));
        curveSeconds += secondsSince(start);
    }
    const double scale = double(sliceFactor) / double(state.iterations());
    state.counters["read_s"] = readSeconds * scale;
    state.counters["spectrogram_s"] = spectrogramSeconds * scale;
    state.counters["image_s"] = imageSeconds * scale;
    state.counters["welch_s"] = welchSeconds * scale;
    state.counters["power_s"] = powerSeconds * scale;
    state.counters["curves_s"] = curveSeconds * scale;
    state.counters["full_size_total_s"] =
        (readSeconds + spectrogramSeconds + imageSeconds + welchSeconds + powerSeconds
         + curveSeconds) * scale;
}
BENCHMARK(BM_EndToEndLiteralKernels)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
