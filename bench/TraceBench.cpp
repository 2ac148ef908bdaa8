// The band's trace on a cf32 SigMF recording of 10^6 ... 10^8 samples (a
// repeated 2FSK burst pattern from the shared generator, written into a
// temporary folder): the first pass of a new band (its curve on a 1400-pixel
// plot over the whole recording, keeping the band's trace on the way) against
// a plain export of the same band and range, measured one after the other in
// the same run; then the walk (load, the middle tenth, hundredth, the whole,
// a pan, the whole again) in a 1600 x 1000 window, each step with the trace
// view shown and then hidden (the yardstick), with the peak RssAnon.
//   scripts/bench --benchmark_filter=Trace

#include "app/MainWindow.h"
#include "bench/RunProbe.h"
#include "dsp/WorkControl.h"
#include "export/ExportSelection.h"
#include "io/RecordingOpener.h"
#include "panel/ControlPanel.h"
#include "plotdata/TracePass.h"
#include "plotdata/TraceSummaries.h"
#include "session/ViewSession.h"
#include "views/CustomPlot.h"
#include "tests/signals/SignalGenerator.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>

namespace {

constexpr uint32_t rate = 10000000;
constexpr double bandLow = 1e6;
constexpr double bandHigh = 1.4e6;

// 2FSK bursts at 1.2 MHz with gaps of noise, repeated to `samples` samples.
QString writeRecording(const QTemporaryDir& dir, uint64_t samples)
{
    testsignals::Iq burst = testsignals::fsk2(testsignals::randomBits(200, 3), rate, 2000, 50e3, 1.2e6, 0.5);
    testsignals::Iq pattern = testsignals::noise(burst.size() * 2, 1e-4, 4);
    pattern.add(burst, burst.size() / 2);
    std::vector<float> bytes(2 * pattern.size());
    for (size_t k = 0; k < pattern.size(); ++k) {
        bytes[2 * k] = float(pattern.i[k]);
        bytes[2 * k + 1] = float(pattern.q[k]);
    }
    std::FILE* data = std::fopen(dir.filePath("trace.sigmf-data").toStdString().c_str(), "wb");
    for (uint64_t done = 0; done < samples;) {
        const size_t count = size_t(std::min<uint64_t>(pattern.size(), samples - done));
        std::fwrite(bytes.data(), 8, count, data);
        done += count;
    }
    std::fclose(data);
    const QString meta = dir.filePath("trace.sigmf-meta");
    std::ofstream(meta.toStdString()) << "{\"global\": {\"core:datatype\": \"cf32_le\", "
                                         "\"core:sample_rate\": " << rate << "}}";
    return meta;
}

void BM_TraceFirstPass(benchmark::State& state)
{
    const uint64_t samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-trace-XXXXXX");
    const QString meta = writeRecording(dir, samples);
    const RecordingContents recording = openRecording(meta.toStdString(), FileFormat::Sigmf, "", 0);
    double traceMs = 0, exportMs = 0;
    for (auto _ : state) {
        TraceSettings settings;
        settings.low = bandLow;
        settings.high = bandHigh;
        auto kept = std::make_shared<TraceSummaries>();
        TracePass pass({0, samples}, rate, samples, settings, 1400, kept);
        WorkControl control;
        QElapsedTimer clock;
        clock.start();
        runComputations(*recording.samples, {0, samples}, DcOffset{}, {&pass}, control);
        traceMs = double(clock.nsecsElapsed()) / 1e6;
        ExportRequest request;
        request.path = dir.filePath("band.sigmf-meta").toStdString();
        request.first = 0;
        request.end = samples;
        request.stopSeconds = double(samples) / rate;
        request.band = ExportBand{bandLow, bandHigh};
        ExportSource source{recording.samples, rate, recording.info, {meta.toStdString()}};
        clock.restart();
        exportSelection(source, request, control);
        exportMs = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(traceMs / 1e3);
    }
    state.counters["trace_ms"] = traceMs;
    state.counters["export_ms"] = exportMs;
    state.counters["ratio"] = traceMs / exportMs;
    std::fprintf(stderr, "%llu samples: trace first pass %.0f ms, band export %.0f ms, ratio %.2f\n",
                 static_cast<unsigned long long>(samples), traceMs, exportMs, traceMs / exportMs);
}

// Runs the event loop, asleep, until the panel is idle and "Ready"; `seen`
// (when given) is asked at every check until it says yes.
void waitUntilReady(MainWindow& window, ControlPanel& panel, const std::function<bool()>& seen = {})
{
    auto* status = window.findChild<QLabel*>("statusLabel");
    QEventLoop loop;
    QTimer check;
    bool done = !seen;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (!done)
            done = seen();
        if (!panel.busy() && status->text() == "Ready")
            loop.quit();
    });
    check.start(2);
    loop.exec();
    for (const char* name : {"spectrogramView", "traceView", "powerView"})
        window.findChild<QWidget*>(name)->repaint();
}

void BM_TraceWalk(benchmark::State& state)
{
    const uint64_t samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-trace-walk-XXXXXX");
    qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
    const QString meta = writeRecording(dir, samples);
    const double duration = double(samples) / rate;
    struct Step
    {
        const char* name;
        double start, stop;
    };
    const Step steps[] = {{"tenth", 0.45, 0.55}, {"hundredth", 0.495, 0.505}, {"whole", 0, 1},
                          {"pan", 0.5, 0.6},     {"whole_again", 0, 1}};
    for (auto _ : state) {
        MainWindow window(QStringList{"norvale"});
        window.resize(1600, 1000);
        window.show();
        QApplication::processEvents();
        auto* panel = window.findChild<ControlPanel*>("controlPanel");
        auto* traceBox = window.findChild<QCheckBox*>("showTraceViewCheckBox");
        RunProbe probe;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(0, [&] { panel->loadFile(meta, 0); });
        waitUntilReady(window, *panel);
        const double loadMs = double(clock.nsecsElapsed()) / 1e6;
        ViewSettings band = panel->session()->requested();
        band.band = {bandLow, bandHigh};
        panel->session()->apply(band);
        waitUntilReady(window, *panel);
        // The first pass of the new band, the trace shown: its first picture
        // (a sketch, or the trace itself) and the end of the pass.
        auto* tracePlot = window.findChild<CustomPlot*>("tracePlot");
        double firstPictureMs = -1;
        clock.restart();
        traceBox->setChecked(true);
        waitUntilReady(window, *panel, [&] {
            if (!tracePlot->hasCurve())
                return false;
            firstPictureMs = double(clock.nsecsElapsed()) / 1e6;
            return true;
        });
        const double firstPassMs = double(clock.nsecsElapsed()) / 1e6;
        state.counters["first_picture_ms"] = firstPictureMs;
        state.counters["first_pass_ms"] = firstPassMs;
        std::fprintf(stderr, "\n%llu samples: load %.0f ms, trace's first picture %.0f ms, first pass %.0f ms\n"
                             "step          trace ms   without ms   ratio   peak RssAnon MB\n",
                     static_cast<unsigned long long>(samples), loadMs, firstPictureMs, firstPassMs);
        for (const Step& step : steps) {
            double ms[2] = {0, 0};
            for (int shown = 1; shown >= 0; --shown) {
                traceBox->setChecked(shown == 1);
                waitUntilReady(window, *panel);
                // From elsewhere, so that the step is asked for afresh.
                panel->session()->showPlace({{0, duration * 0.001}, panel->session()->requested().band});
                waitUntilReady(window, *panel);
                probe.restart();
                clock.restart();
                panel->session()->showPlace({{step.start * duration, step.stop * duration},
                                             panel->session()->requested().band});
                waitUntilReady(window, *panel);
                ms[shown] = double(clock.nsecsElapsed()) / 1e6;
            }
            const double peak = double(probe.peakBytes()) / 1e6;
            state.counters[std::string(step.name) + "_ms"] = ms[1];
            state.counters[std::string(step.name) + "_ratio"] = ms[1] / ms[0];
            state.counters[std::string(step.name) + "_rss_MB"] = peak;
            std::fprintf(stderr, "%-12s %10.0f %12.0f %7.2f %17.0f\n", step.name, ms[1], ms[0], ms[1] / ms[0], peak);
        }
    }
}

} // namespace

BENCHMARK(BM_TraceFirstPass)->Arg(6)->Arg(7)->Arg(8)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TraceWalk)->Arg(7)->Arg(8)->Arg(9)->Iterations(1)->Unit(benchmark::kMillisecond);
