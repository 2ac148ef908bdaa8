// Each streaming computation of the views alone over 10,000,000 samples held in
// memory, against the whole-range function it replaces, in the same run; CPU
// time of the whole process (all threads), which a busy machine disturbs less
// than wall time.

#include "dsp/BlockStream.h"
#include "dsp/Spectrogram.h"
#include "dsp/SpectrogramStream.h"
#include "dsp/Spectrum.h"
#include "dsp/WelchStream.h"
#include "io/Recording.h"
#include "io/SampleSource.h"
#include "plotdata/AmplitudeStream.h"
#include "plotdata/Decibels.h"
#include "plotdata/PlotMath.h"
#include "plotdata/PowerCurveStream.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

constexpr uint64_t samples = 10000000;
constexpr double rate = 10e6;

const std::shared_ptr<const SampleSource>& source()
{
    static const std::shared_ptr<const SampleSource> s = [] {
        std::mt19937_64 rng(1);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::vector<double> i(samples), q(samples);
        for (uint64_t k = 0; k < samples; ++k) {
            i[k] = noise(rng);
            q[k] = noise(rng);
        }
        return memorySamples(std::move(i), std::move(q));
    }();
    return s;
}

void BM_StreamPass(benchmark::State& state)
{
    const auto& s = *source();
    const int which = int(state.range(0));
    for (auto _ : state) {
        WorkControl control;
        std::unique_ptr<BlockConsumer> consumer;
        const double last = double(samples - 1) / rate;
        switch (which) {
        case 0: consumer = std::make_unique<SpectrogramStream>(0, samples, 8, 0.8, rate, 2400); break;
        case 1: consumer = std::make_unique<WelchStream>(0, samples, 256, 256, 204); break;
        case 2: consumer = std::make_unique<PowerCurveStream>(samples, 0, samples, rate, PowerCurveSettings{}, 0.0, last, 1200); break;
        case 3: consumer = std::make_unique<AmplitudeStream>(0, samples, rate, 0.0, last, 0.0, last, 1200); break;
        default: consumer.reset(); break;
        }
        std::vector<BlockConsumer*> consumers;
        if (consumer)
            consumers.push_back(consumer.get());
        streamRange(s, 0, samples, DcOffset{}, consumers, control);
    }
}
BENCHMARK(BM_StreamPass)
    ->ArgName("spectrogram0_welch1_power2_amplitude3_readonly4")
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

void BM_WholeRange(benchmark::State& state)
{
    const auto& i = *source()->memoryI();
    const auto& q = *source()->memoryQ();
    const int which = int(state.range(0));
    for (auto _ : state) {
        if (which == 0) {
            static Recording recording;
            if (!recording.isLoaded())
                recording.assign(uint32_t(rate), i, q);
            Spectrogram spectrogram(&recording);
            spectrogram.setTimeRange(0, double(samples) / rate);
            benchmark::DoNotOptimize(spectrogram.columns().size());
        } else if (which == 1) {
            benchmark::DoNotOptimize(welchSpectrum(i.data(), q.data(), samples, 256, 256, 204));
        } else {
            benchmark::DoNotOptimize(powerCurve(i.data(), q.data(), samples, 100, 1, 1, 1));
        }
    }
}
BENCHMARK(BM_WholeRange)
    ->ArgName("spectrogram0_welch1_power2")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

} // namespace

namespace {

// The power curve's cost per sample: the stream alone fed 10,000,000 samples
// in the pass's blocks (arg 0) against a plain loop over the same data (arg 1)
// that does the least any power curve must do: each sample's power, a sliding
// sum over the window, the decibels (the same fast series) and the highest and
// lowest per pixel column, on one thread. Wall time and the CPU time of all threads.
void BM_PowerCurveCost(benchmark::State& state)
{
    const auto& i = *source()->memoryI();
    const auto& q = *source()->memoryQ();
    const double last = double(samples - 1) / rate;
    constexpr uint32_t window = 100;
    constexpr int width = 1200;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            WorkControl control;
            PowerCurveStream stream(samples, 0, samples, rate, PowerCurveSettings{}, 0.0, last, width);
            for (uint64_t k = 0; k < samples; k += streamBlockSamples) {
                const size_t count = size_t(std::min<uint64_t>(streamBlockSamples, samples - k));
                stream.consume(k, count, i.data() + k, q.data() + k, control);
            }
            benchmark::DoNotOptimize(stream.result().y.size());
        } else {
            std::vector<double> high(width + 1, -1e300), low(width + 1, 1e300);
            std::vector<double> p(window, 0.0);
            std::vector<double> d(streamBlockSamples);
            double sum = 0;
            for (uint64_t k0 = 0; k0 < samples; k0 += streamBlockSamples) {
                const size_t count = size_t(std::min<uint64_t>(streamBlockSamples, samples - k0));
                for (size_t j = 0; j < count; ++j) {
                    const uint64_t k = k0 + j;
                    const double power = (i[k] * i[k] + q[k] * q[k]) * 0.5;
                    sum += power - p[k % window];
                    p[k % window] = power;
                    d[j] = sum;
                }
                decibelsInPlace(d.data(), count, 1000.0 / window);
                for (size_t j = 0; j < count; ++j) {
                    const size_t column = size_t((k0 + j) * width / samples);
                    high[column] = std::max(high[column], d[j]);
                    low[column] = std::min(low[column], d[j]);
                }
            }
            benchmark::DoNotOptimize(high.data());
            benchmark::DoNotOptimize(low.data());
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations() * samples));
}
BENCHMARK(BM_PowerCurveCost)
    ->ArgName("stream0_plainloop1")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

} // namespace
