// A full-range load at the default settings of cf32 SigMF recordings of 10^7,
// 10^8 and 10^9 samples (the last is 8 GB: written into a temporary folder and
// deleted afterwards), from loadFile called from the event loop until the
// status reads "Ready" and every view is painted. Counters: wall time, the peak
// of anonymous memory (RssAnon, sampled every 10 ms; the file's page cache does
// not count) and the GUI thread's longest stall (the largest gap between ticks
// of a 10 ms timer while the work runs), and how long stopping a load takes.
//   scripts/bench --benchmark_filter=Scaling

#include "app/MainWindow.h"
#include "bench/RunProbe.h"
#include "panel/ControlPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint32_t rate = 10000000;
constexpr size_t patternSamples = size_t(1) << 20;

// A pattern of noise, a tone and a chirp repeated to the length wanted, written
// through a small buffer so that making the file takes no memory of its own.
QString writeRecording(const QTemporaryDir& dir, uint64_t samples)
{
    std::vector<float> pattern(2 * patternSamples);
    std::mt19937 generator(3);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    for (size_t k = 0; k < patternSamples; ++k) {
        const double t = double(k) / rate;
        const double phase = 2 * M_PI * (-2e6 * t + 4e6 / (patternSamples / double(rate)) * t * t / 2);
        pattern[2 * k] = float(0.5 * std::cos(phase) + 0.1 * std::cos(2 * M_PI * 1.5e6 * t)) + noise(generator);
        pattern[2 * k + 1] = float(0.5 * std::sin(phase) + 0.1 * std::sin(2 * M_PI * 1.5e6 * t)) + noise(generator);
    }
    const QString meta = dir.filePath("scaling.sigmf-meta");
    std::FILE* data = std::fopen(dir.filePath("scaling.sigmf-data").toStdString().c_str(), "wb");
    for (uint64_t done = 0; done < samples;) {
        const size_t count = size_t(std::min<uint64_t>(patternSamples, samples - done));
        std::fwrite(pattern.data(), 8, count, data);
        done += count;
    }
    std::fclose(data);
    std::ofstream(meta.toStdString()) << "{\"global\": {\"core:datatype\": \"cf32_le\", \"core:sample_rate\": "
                                      << rate << ", \"core:version\": \"1.0.0\"}, \"captures\": [], "
                                      << "\"annotations\": []}";
    return meta;
}

void BM_ScalingLoadAndPaint(benchmark::State& state)
{
    const uint64_t samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-scaling-XXXXXX");
    const QString meta = writeRecording(dir, samples);

    MainWindow window(QStringList{"norvale"});
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    auto* status = window.findChild<QLabel*>("statusLabel");

    double wall = 0;
    double stall = 0;
    double stop = 0;
    uint64_t peak = 0;
    for (auto _ : state) {
        auto probe = std::make_unique<RunProbe>();
        QElapsedTimer clock;
        bool started = false;
        clock.start();
        // The load is started from the event loop, as the Open button starts it.
        QTimer::singleShot(0, [&] {
            panel->loadFile(meta, 0);
            started = true;
        });
        do {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } while (!started || panel->busy() || status->text() != "Ready");
        for (const char* name : {"spectrogramView", "powerView", "spectrumView"}) {
            tabs->setCurrentIndex(QString(name) == "spectrumView" ? 1 : 0);
            window.findChild<QWidget*>(name)->repaint();
        }
        tabs->setCurrentIndex(0);
        wall = clock.elapsed() / 1000.0;
        stall = probe->longestStallMs();
        peak = probe->peakBytes();
        probe.reset();

        // How long stopping takes (the window closing): the same load again,
        // stopped after 300 ms of work, until its threads have ended.
        QTimer::singleShot(0, [&] { panel->loadFile(meta, 0); });
        QElapsedTimer running;
        running.start();
        while (running.elapsed() < 300)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QElapsedTimer stopping;
        stopping.start();
        panel->stopWork();
        stop = double(stopping.nsecsElapsed()) / 1e6;
        QApplication::processEvents();
    }
    state.counters["stop_ms"] = stop;
    state.counters["wall_s"] = wall;
    state.counters["peak_rss_anon_MB"] = double(peak) / 1e6;
    state.counters["longest_gui_stall_ms"] = stall;
}

} // namespace

BENCHMARK(BM_ScalingLoadAndPaint)->Arg(7)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(1);
