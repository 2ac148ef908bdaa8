// A zoom on a 10^8-sample cf32 SigMF recording (800 MB, written into a temporary
// folder and deleted afterwards), loaded whole at the defaults first: the time
// from the request a drag or a wheel turn makes (the time fields set to a range
// of 10^4, 10^6 or 10^7 samples, then the time-range Apply) until every view
// shows the new range, painted. Each iteration zooms on another part of the
// recording. Counters: the same range's bytes read with plain pread() (the
// least any zoom must do) and whether the progress bar showed.
//   scripts/bench --benchmark_filter=Zoom

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "panel/RangeNavigation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr uint32_t rate = 10000000;
constexpr uint64_t recordingSamples = 100000000;
constexpr size_t patternSamples = size_t(1) << 20;

struct LoadedRecording
{
    QTemporaryDir dir{QDir::tempPath() + "/norvale-zoom-XXXXXX"};
    QString dataPath;
    std::unique_ptr<MainWindow> window;
    ControlPanel* panel = nullptr;
};

// Noise, a tone and a chirp repeated to 10^8 samples through a small buffer,
// then loaded by the panel as a user would.
LoadedRecording& loadedRecording()
{
    static const std::unique_ptr<LoadedRecording> loaded = [] {
        auto r = std::make_unique<LoadedRecording>();
        std::vector<float> pattern(2 * patternSamples);
        std::mt19937 generator(5);
        std::normal_distribution<float> noise(0.0f, 0.01f);
        for (size_t k = 0; k < patternSamples; ++k) {
            const double t = double(k) / rate;
            const double sweep = 4e6 / (patternSamples / double(rate));
            const double phase = 2 * M_PI * (-2e6 * t + sweep * t * t / 2);
            const double tone = 2 * M_PI * 1.5e6 * t;
            pattern[2 * k] = float(0.5 * std::cos(phase) + 0.1 * std::cos(tone)) + noise(generator);
            pattern[2 * k + 1] =
                float(0.5 * std::sin(phase) + 0.1 * std::sin(tone)) + noise(generator);
        }
        r->dataPath = r->dir.filePath("zoom.sigmf-data");
        std::FILE* data = std::fopen(r->dataPath.toStdString().c_str(), "wb");
        for (uint64_t done = 0; done < recordingSamples;) {
            const size_t count =
                size_t(std::min<uint64_t>(patternSamples, recordingSamples - done));
            std::fwrite(pattern.data(), 8, count, data);
            done += count;
        }
        std::fclose(data);
        const QString meta = r->dir.filePath("zoom.sigmf-meta");
        std::ofstream(meta.toStdString()) << "{\"global\": {\"core:datatype\": \"cf32_le\", "
                                             "\"core:sample_rate\": " << rate << "}}";
        r->window = std::make_unique<MainWindow>(QStringList{"norvale", meta});
        r->window->resize(1400, 900);
        r->window->show();
        r->panel = r->window->findChild<ControlPanel*>("controlPanel");
        do {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        } while (r->panel->busy());
        return r;
    }();
    return *loaded;
}

// Reads bytes [offset, offset + size) of the file with pread into a reused buffer.
double preadMilliseconds(const QString& path, uint64_t offset, uint64_t size)
{
    static std::vector<char> buffer(size_t(1) << 24);
    const int fd = ::open(path.toStdString().c_str(), O_RDONLY);
    QElapsedTimer clock;
    clock.start();
    for (uint64_t done = 0; done < size;) {
        const size_t chunk = size_t(std::min<uint64_t>(buffer.size(), size - done));
        const ssize_t got = ::pread(fd, buffer.data(), chunk, off_t(offset + done));
        if (got <= 0)
            break;
        done += uint64_t(got);
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    ::close(fd);
    return ms;
}

void BM_ZoomOnLargeRecording(benchmark::State& state)
{
    LoadedRecording& loaded = loadedRecording();
    ControlPanel* panel = loaded.panel;
    auto* progress = loaded.window->findChild<QProgressBar*>("progressBar");
    const QList<QWidget*> views = {loaded.window->findChild<QWidget*>("spectrogramView"),
                                   loaded.window->findChild<QWidget*>("powerView")};
    const uint64_t span = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    std::mt19937_64 where(uint64_t(state.range(0)));
    double readMs = 0;
    bool progressShown = false;
    for (auto _ : state) {
        const uint64_t first = where() % (recordingSamples - span);
        QElapsedTimer clock;
        clock.start();
        panel->applyTimeRangeTexts(startTimeText(first, rate), stopTimeText(first + span, rate));
        while (panel->busy()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            progressShown = progressShown || progress->isVisible();
        }
        for (QWidget* view : views)
            view->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        readMs += preadMilliseconds(loaded.dataPath, first * 8, span * 8);
    }
    state.counters["pread_ms"] = readMs / double(state.iterations());
    state.counters["progress_shown"] = progressShown ? 1 : 0;
    state.SetItemsProcessed(int64_t(state.iterations() * span));
}

} // namespace

BENCHMARK(BM_ZoomOnLargeRecording)
    ->Arg(4)->Arg(6)->Arg(7)
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
