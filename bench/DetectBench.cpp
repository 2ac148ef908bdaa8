// The burst detector: its detection table (probability of detection, bursts
// found that match none, edges within their tolerances) by SNR, length and
// bandwidth on generated recordings; false alarms in noise alone; and its
// speed and memory on cf32 files of 10^7, 10^8 and 10^9 samples (the last is
// 8 GB, written into a temporary folder), against a plain read of the same
// samples in the same run.
//   scripts/bench --benchmark_filter=Burst

#include "bench/RunProbe.h"
#include "dsp/BurstDetector.h"
#include "dsp/WorkControl.h"
#include "io/RecordingOpener.h"
#include "io/SampleSource.h"
#include "tests/signals/BurstRecording.h"
#include "tests/signals/BurstScore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

constexpr double rate = 1e6;

BurstRequest wholeBand(uint64_t samples)
{
    BurstRequest request;
    request.sampleRate = rate;
    request.end = samples;
    request.low = -rate / 2;
    request.high = rate / 2;
    return request;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Args: length in samples, bandwidth in 1/10000 of the rate, in-band SNR in dB, bursts.
void BM_BurstTable(benchmark::State& state)
{
    const auto length = static_cast<std::size_t>(state.range(0));
    const double B = double(state.range(1)) * rate / 10000.0;
    const double snr = double(state.range(2));
    const auto trials = static_cast<std::size_t>(state.range(3));
    const std::size_t gap = std::max<std::size_t>(length, 4096);
    const std::size_t count = gap + trials * (length + gap);
    testsignals::BurstScore score;
    for (auto _ : state) {
        const auto plans = testsignals::burstTrain(count, length, B, snr, gap, rate, 1000);
        const testsignals::Iq x = testsignals::burstRecording(count, rate, 1.0, plans, 1001);
        const auto source = memorySamples(x.i, x.q);
        WorkControl control;
        const BurstDetection d = detectBursts(*source, wholeBand(count), control);
        score = testsignals::scoreBursts(d.bursts, plans, rate, rate / burstFftSize);
    }
    const double found = double(std::max<std::size_t>(score.found, 1));
    state.counters["inBandSamples"] = double(length) * B / rate;
    state.counters["Pd"] = double(score.found) / double(score.planned);
    state.counters["extra"] = double(score.extra);
    state.counters["timeWithin"] = double(score.timeWithin) / found;
    state.counters["bandWithin"] = double(score.bandWithin) / found;
    state.counters["meanTimeErr"] = score.meanTimeError;
    state.counters["meanBandErrHz"] = score.meanBandError;
}

void tableRows(benchmark::internal::Benchmark* b)
{
    // Length and bandwidth pairs of 51 to 1000 in-band samples, at each SNR.
    const std::vector<std::pair<int64_t, int64_t>> shapes{
        {256, 2000}, {1280, 2000}, {4096, 625}, {25600, 100}, {51200, 50}, {100000, 50}, {100000, 2000}};
    for (int64_t snr : {0, 3, 6, 10, 20, 30})
        for (const auto& [length, bandwidth] : shapes)
            b->Args({length, bandwidth, snr, length >= 25600 ? 40 : 200});
}
BENCHMARK(BM_BurstTable)->Apply(tableRows)->Iterations(1)->Unit(benchmark::kMillisecond);

// Noise alone, 10^7 samples per seed: bursts found at the default threshold.
void BM_BurstFalseAlarms(benchmark::State& state)
{
    const auto seeds = static_cast<uint32_t>(state.range(0));
    std::size_t found = 0;
    for (auto _ : state)
        for (uint32_t seed = 0; seed < seeds; ++seed) {
            const testsignals::Iq x = testsignals::noise(10000000, 1.0, 500 + seed);
            const auto source = memorySamples(x.i, x.q);
            WorkControl control;
            found += detectBursts(*source, wholeBand(x.size()), control).bursts.size();
        }
    state.counters["per1e7"] = double(found) / double(seeds);
}
BENCHMARK(BM_BurstFalseAlarms)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);

// A 2^20-sample pattern of noise with three bursts, repeated to the length
// wanted through a small buffer.
QString writeRecording(const QTemporaryDir& dir, uint64_t samples)
{
    constexpr std::size_t pattern = std::size_t(1) << 20;
    const std::vector<testsignals::BurstPlan> plans{{100000, 20000, 100000, 150000, 10.0},
                                                    {400000, 4096, -300000, -100000, 3.0},
                                                    {700000, 60000, -20000, -10000, 6.0}};
    const testsignals::Iq x = testsignals::burstRecording(pattern, rate, 1.0, plans, 9);
    std::vector<float> values(2 * pattern);
    for (std::size_t k = 0; k < pattern; ++k) {
        values[2 * k] = float(x.i[k]);
        values[2 * k + 1] = float(x.q[k]);
    }
    const QString path = dir.filePath("bursts.fc32");
    std::FILE* file = std::fopen(path.toStdString().c_str(), "wb");
    for (uint64_t done = 0; done < samples;) {
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(pattern, samples - done));
        std::fwrite(values.data(), 8, count, file);
        done += count;
    }
    std::fclose(file);
    return path;
}

// Arg: the exponent of the number of samples. The yardstick reads every
// sample once, in blocks, as the detector's first pass does.
void BM_BurstFile(benchmark::State& state)
{
    const auto samples = uint64_t(std::llround(std::pow(10.0, double(state.range(0)))));
    QTemporaryDir dir(QDir::tempPath() + "/norvale-bursts-XXXXXX");
    const QString path = writeRecording(dir, samples);
    const RecordingContents contents = openRecording(path.toStdString(), FileFormat::Auto, "", rate);
    double seconds = 0, readSeconds = 0;
    uint64_t peak = 0;
    std::size_t bursts = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::vector<double> i(std::size_t(1) << 20), q(i.size());
        for (uint64_t at = 0; at < samples; at += i.size())
            contents.samples->read(at, std::size_t(std::min<uint64_t>(i.size(), samples - at)), i.data(), q.data());
        readSeconds = secondsSince(start);
        RunProbe probe;
        start = std::chrono::steady_clock::now();
        WorkControl control;
        bursts = detectBursts(*contents.samples, wholeBand(samples), control).bursts.size();
        seconds = secondsSince(start);
        peak = probe.peakBytes();
    }
    state.counters["seconds"] = seconds;
    state.counters["readSeconds"] = readSeconds;
    state.counters["ratio"] = seconds / readSeconds;
    state.counters["peakRssAnonMB"] = double(peak) / double(1 << 20);
    state.counters["bursts"] = double(bursts);
    state.counters["planned"] = 3.0 * double(samples) / double(1 << 20);
}
BENCHMARK(BM_BurstFile)->DenseRange(7, 9)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
