// A zoom on a 10^8-sample cf32 SigMF recording (800 MB, written into a temporary
// folder and deleted afterwards), loaded whole at the defaults first: the time
// from the request a drag or a wheel turn makes (the time fields set to a range
// of 10^4, 10^6 or 10^7 samples, then the time-range Apply) until every view
// shows the new range, painted. Each iteration zooms on another part of the
// recording. Counters: the same range's bytes read with plain pread() (the
// least any zoom must do) and whether the progress bar showed.
// The walk: cf32 recordings of 10^8 and 10^9 samples (800 MB and 8 GB in a
// temporary folder, skipped when it has no room) in a 1600 x 1000 window, each
// step typed into the time fields and applied as a user would: the first load,
// the middle tenth, the middle hundredth, the whole, the middle tenth again, a
// pan by half a tenth, the whole again, and the same recording opened again
// (its summaries from the cache files). Per step: the time to the first picture
// of the new range (the preview, on a load) and to "Ready" with every view
// painted, the peak RssAnon and the GUI thread's longest stall; the summary
// cache goes to a temporary folder.
//   scripts/bench --benchmark_filter=Zoom

#include "app/MainWindow.h"
#include "session/ViewSession.h"
#include "bench/RunProbe.h"
#include "panel/ControlPanel.h"
#include "panel/RangeNavigation.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
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

// Noise, a tone and a chirp repeated to `samples` samples through a small
// buffer, as a cf32 SigMF pair in `dir`; returns the metadata path and sets
// the data path.
QString writeRecording(const QTemporaryDir& dir, uint64_t samples, QString& dataPath)
{
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
    dataPath = dir.filePath("zoom.sigmf-data");
    std::FILE* data = std::fopen(dataPath.toStdString().c_str(), "wb");
    for (uint64_t done = 0; done < samples;) {
        const size_t count = size_t(std::min<uint64_t>(patternSamples, samples - done));
        std::fwrite(pattern.data(), 8, count, data);
        done += count;
    }
    std::fclose(data);
    const QString meta = dir.filePath("zoom.sigmf-meta");
    std::ofstream(meta.toStdString()) << "{\"global\": {\"core:datatype\": \"cf32_le\", "
                                         "\"core:sample_rate\": " << rate << "}}";
    return meta;
}

// The 10^8-sample recording loaded by the panel as a user would.
LoadedRecording& loadedRecording()
{
    static const std::unique_ptr<LoadedRecording> loaded = [] {
        auto r = std::make_unique<LoadedRecording>();
        const QString meta = writeRecording(r->dir, recordingSamples, r->dataPath);
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
        panel->session()->showPlace({{startTimeText(first, rate).toDouble(), stopTimeText(first + span, rate).toDouble()},
                                     panel->session()->requested().band});
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

// Whether the folder of `path` has `bytes` free.
bool roomFor(const QString& path, uint64_t bytes)
{
    struct statvfs fs{};
    if (::statvfs(path.toStdString().c_str(), &fs) != 0)
        return false;
    return uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize) >= bytes;
}

// Runs the event loop until the panel is idle and "Ready", every view painted;
// `firstPicture` is set to the milliseconds until the spectrogram first showed
// [start, stop].
void waitUntilReady(MainWindow& window, ControlPanel& panel, const QElapsedTimer& clock,
                    double start, double stop, double& firstPicture)
{
    auto* spectrogram = window.findChild<SpectrogramView*>("spectrogramView");
    auto* status = window.findChild<QLabel*>("statusLabel");
    firstPicture = -1;
    auto shown = [&] {
        return std::abs(spectrogram->startTime() - start) < 1e-6
               && std::abs(spectrogram->stopTime() - stop) < 1e-6;
    };
    // The event loop sleeps between events, as the application's does (a loop of
    // processEvents would keep one core spinning beside the work).
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (firstPicture < 0 && shown()) {
            spectrogram->repaint();
            firstPicture = double(clock.nsecsElapsed()) / 1e6;
        }
        if (!panel.busy() && status->text() == "Ready")
            loop.quit();
    });
    check.start(2);
    loop.exec();
    for (const char* name : {"spectrogramView", "powerView", "spectrumView"})
        window.findChild<QWidget*>(name)->repaint();
    if (firstPicture < 0)
        firstPicture = double(clock.nsecsElapsed()) / 1e6;
}

void BM_ZoomWalk(benchmark::State& state)
{
    const uint64_t samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-walk-XXXXXX");
    // The recording and a twentieth of it for the cache, with room to spare.
    if (!roomFor(dir.path(), samples * 8 + samples * 8 / 10 + (uint64_t(1) << 30))) {
        state.SkipWithError("not enough room in the temporary folder for the recording");
        return;
    }
    qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
    QString dataPath;
    const QString meta = writeRecording(dir, samples, dataPath);
    const double duration = double(samples) / rate;
    struct Step
    {
        const char* name;
        double start, stop; // fractions of the recording
    };
    const Step steps[] = {{"load", 0, 1},      {"tenth", 0.45, 0.55}, {"hundredth", 0.495, 0.505},
                          {"whole", 0, 1},     {"tenth_again", 0.45, 0.55},
                          {"pan", 0.5, 0.6},   {"whole_again", 0, 1}, {"reopen", 0, 1}};
    for (auto _ : state) {
        MainWindow window(QStringList{"norvale"});
        window.resize(1600, 1000);
        window.show();
        QApplication::processEvents();
        auto* panel = window.findChild<ControlPanel*>("controlPanel");
        RunProbe probe;
        std::cerr << "\n" << samples << " samples, 1600 x 1000\n"
                  << "step          first picture ms   ready ms   peak RssAnon MB   stall ms\n";
        for (const Step& step : steps) {
            const uint64_t first = uint64_t(std::llround(step.start * double(samples)));
            const uint64_t last = uint64_t(std::llround(step.stop * double(samples)));
            const double start = step.start == 0 ? 0.0 : startTimeText(first, rate).toDouble();
            const double stop = step.stop == 1 ? duration : stopTimeText(last, rate).toDouble();
            probe.restart();
            QElapsedTimer clock;
            clock.start();
            if (std::string(step.name) == "load" || std::string(step.name) == "reopen")
                QTimer::singleShot(0, [&] { panel->loadFile(meta, 0); });
            else
                panel->session()->showPlace({{start, stop}, panel->session()->requested().band});
            double firstPicture = 0;
            waitUntilReady(window, *panel, clock, start, stop, firstPicture);
            const double ready = double(clock.nsecsElapsed()) / 1e6;
            const double peak = double(probe.peakBytes()) / 1e6;
            state.counters[std::string(step.name) + "_ms"] = ready;
            state.counters[std::string(step.name) + "_first_ms"] = firstPicture;
            state.counters[std::string(step.name) + "_rss_MB"] = peak;
            state.counters[std::string(step.name) + "_stall_ms"] = probe.longestStallMs();
            std::fprintf(stderr, "%-12s %18.0f %10.0f %17.0f %10.0f\n", step.name, firstPicture, ready,
                         peak, probe.longestStallMs());
        }
        uint64_t cacheBytes = 0;
        for (QDirIterator it(dir.filePath("cache"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            cacheBytes += uint64_t(it.nextFileInfo().size());
        state.counters["cache_MB"] = double(cacheBytes) / 1e6;
        std::fprintf(stderr, "cache on disk: %.1f MB\n", double(cacheBytes) / 1e6);
    }
}

} // namespace

BENCHMARK(BM_ZoomWalk)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(BM_ZoomOnLargeRecording)
    ->Arg(4)->Arg(6)->Arg(7)
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
