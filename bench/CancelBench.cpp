// How soon a cancel gives the cores back: the first load of a 10^8-sample cf32
// SigMF recording (800 MB, written into a temporary folder and deleted
// afterwards) is cancelled with the Cancel button's call after one second of
// work, three times. Counters, the largest of the three: the time from the
// cancel until the worker pool stayed idle (no task running or queued, polled
// every 0.2 ms) and until the process's CPU time stopped growing (less than a
// fifth of a core over every later 5 ms, which also covers the cancelled job's
// own thread), both watched for a second; the peak of anonymous memory while
// the pass ran, and the pass's progress when it was cancelled.
//   scripts/bench --benchmark_filter=Cancel

#include "app/MainWindow.h"
#include "bench/RunProbe.h"
#include "dsp/WorkerPool.h"
#include "panel/ControlPanel.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t rate = 10000000;
constexpr size_t chunkSamples = size_t(1) << 20;
constexpr int workBeforeCancelMs = 1000;
constexpr int watchMs = 1000;
constexpr double quietCores = 0.2;
constexpr auto cpuInterval = std::chrono::milliseconds(5);

// A tone in noise, repeated to `samples` samples through a small buffer.
QString writeRecording(const QTemporaryDir& dir, uint64_t samples)
{
    std::vector<float> chunk(2 * chunkSamples);
    std::mt19937 generator(7);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    for (size_t k = 0; k < chunkSamples; ++k) {
        const double phase = 2 * M_PI * 1.5e6 * double(k) / rate;
        chunk[2 * k] = float(0.5 * std::cos(phase)) + noise(generator);
        chunk[2 * k + 1] = float(0.5 * std::sin(phase)) + noise(generator);
    }
    std::FILE* data = std::fopen(dir.filePath("cancel.sigmf-data").toStdString().c_str(), "wb");
    for (uint64_t done = 0; done < samples;) {
        const size_t count = size_t(std::min<uint64_t>(chunkSamples, samples - done));
        std::fwrite(chunk.data(), 8, count, data);
        done += count;
    }
    std::fclose(data);
    const QString meta = dir.filePath("cancel.sigmf-meta");
    std::ofstream(meta.toStdString()) << "{\"global\": {\"core:datatype\": \"cf32_le\", \"core:sample_rate\": "
                                      << rate << "}}";
    return meta;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// What a thread of its own sees after a cancel: the last moment the pool was
// busy, and the end of the last 5 ms in which the process used more CPU than
// quietCores cores, in milliseconds from the cancel.
struct CancelWatch
{
    double poolBusyUntilMs = 0;
    double cpuBusyUntilMs = 0;

    void watch()
    {
        const WorkerPool& pool = WorkerPool::shared();
        const auto start = std::chrono::steady_clock::now();
        auto msSince = [&](auto at) { return std::chrono::duration<double, std::milli>(at - start).count(); };
        auto lastCpuAt = start;
        double lastCpu = processCpuSeconds();
        for (auto now = start; msSince(now) < watchMs; now = std::chrono::steady_clock::now()) {
            if (pool.runningTasks() != 0 || pool.queuedTasks() != 0)
                poolBusyUntilMs = msSince(now);
            if (now - lastCpuAt >= cpuInterval) {
                const double cpu = processCpuSeconds();
                const double wall = std::chrono::duration<double>(now - lastCpuAt).count();
                if (cpu - lastCpu > quietCores * wall)
                    cpuBusyUntilMs = msSince(now);
                lastCpu = cpu;
                lastCpuAt = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

void BM_CancelFirstPass(benchmark::State& state)
{
    const uint64_t samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-cancel-XXXXXX");
    const QString meta = writeRecording(dir, samples);

    MainWindow window(QStringList{"norvale"});
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    auto* progress = window.findChild<QProgressBar*>("progressBar");

    // The largest of the iterations.
    CancelWatch slowest;
    uint64_t peak = 0;
    double done = 0;
    for (auto _ : state) {
        RunProbe probe;
        // The load starts from the event loop, as the Open button starts it,
        // and the loop sleeps between events as the application's does.
        QEventLoop loop;
        QTimer::singleShot(0, [&] { panel->loadFile(meta, 0); });
        QTimer::singleShot(workBeforeCancelMs, &loop, &QEventLoop::quit);
        loop.exec();
        peak = std::max(peak, probe.peakBytes());
        done = std::max(done, double(progress->value()));
        CancelWatch seen;
        std::thread watcher([&] { seen.watch(); });
        panel->cancelWork();
        QTimer::singleShot(watchMs, &loop, &QEventLoop::quit);
        loop.exec();
        watcher.join();
        slowest.poolBusyUntilMs = std::max(slowest.poolBusyUntilMs, seen.poolBusyUntilMs);
        slowest.cpuBusyUntilMs = std::max(slowest.cpuBusyUntilMs, seen.cpuBusyUntilMs);
    }
    state.counters["pool_idle_ms"] = slowest.poolBusyUntilMs;
    state.counters["cpu_quiet_ms"] = slowest.cpuBusyUntilMs;
    state.counters["peak_rss_anon_MB"] = double(peak) / 1e6;
    state.counters["progress_at_cancel_pct"] = done;
}

} // namespace

BENCHMARK(BM_CancelFirstPass)->ArgName("log10_samples")->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);
