// A full-range load of a very large recording at the default settings, from
// loadFile until every view is painted once. The recording is not made here (it
// takes gigabytes): point NORVALE_HUGE_RECORDING at a .sigmf-meta file and run
//   /usr/bin/time -v build-bench/bench/norvale-bench --benchmark_filter=HugeRecording
// Without it the benchmark reports that it was skipped.

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"

#include <QTabWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_HugeRecordingLoadAndPaint(benchmark::State& state)
{
    const char* path = std::getenv("NORVALE_HUGE_RECORDING");
    if (!path || !*path) {
        state.SkipWithError("NORVALE_HUGE_RECORDING is not set");
        return;
    }
    MainWindow window(QStringList{"norvale"});
    window.resize(1400, 900);
    window.show();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    for (auto _ : state) {
        panel->loadFile(QString::fromUtf8(path), 0);
        for (const char* name : {"spectrogramView", "powerView", "amplitudeView", "spectrumView"}) {
            tabs->setCurrentIndex(QString(name) == "spectrumView" ? 1 : 0);
            benchmark::DoNotOptimize(window.findChild<QWidget*>(name)->grab());
        }
    }
}

} // namespace

BENCHMARK(BM_HugeRecordingLoadAndPaint)->Unit(benchmark::kMillisecond)->Iterations(1);
