// Batched and single FFT against FFTW (FFTW_MEASURE plan, same N, double
// complex) measured side by side in one benchmark, the Welch sums against a
// plain loop over the same data, and the spectrogram stream's throughput on
// 10^7 samples with one thread and with all of the machine's.

#include "dsp/BlockStream.h"
#include "dsp/Fft.h"
#include "dsp/FftBatch.h"
#include "dsp/ParallelParts.h"
#include "dsp/SpectrogramStream.h"
#include "dsp/WelchAccumulator.h"
#include "io/SampleSource.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <random>
#include <thread>
#include <vector>

namespace {

using Complex = std::complex<double>;
using Clock = std::chrono::steady_clock;

std::vector<double> normalValues(size_t n, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = normal(rng);
    return v;
}

// Seconds per call of f, the fastest of `rounds` rounds of `calls` calls: the
// round least disturbed by other work on the machine.
template <typename F>
double fastestSeconds(F&& f, int rounds, int calls)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const Clock::time_point start = Clock::now();
        for (int c = 0; c < calls; ++c)
            f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / calls);
    }
    return best;
}

// Nanoseconds per transform of FFTW, of fft() and of FftBatch at N = 2^e,
// taken in turn within each benchmark iteration, and their ratios to FFTW.
void fftAgainstFftw(benchmark::State& state)
{
    const uint32_t e = uint32_t(state.range(0));
    const size_t n = size_t(1) << e;
    constexpr int rounds = 5;
    const int calls = int(std::max<size_t>(4, (size_t(1) << 20) / (n * e)));
    fftw_complex* fftwIn = fftw_alloc_complex(n);
    fftw_complex* fftwOut = fftw_alloc_complex(n);
    fftw_plan plan = fftw_plan_dft_1d(int(n), fftwIn, fftwOut, FFTW_FORWARD, FFTW_MEASURE);
    const std::vector<double> values = normalValues(2 * n, 1);
    std::vector<Complex> in(n), out(n);
    for (size_t i = 0; i < n; ++i) {
        in[i] = Complex(values[2 * i], values[2 * i + 1]);
        fftwIn[i][0] = in[i].real();
        fftwIn[i][1] = in[i].imag();
    }
    FftBatch batch(e);
    for (uint32_t l = 0; l < batch.lanes(); ++l) {
        for (size_t i = 0; i < n; ++i) {
            batch.inputRe(l)[i] = values[(2 * i + l) % values.size()];
            batch.inputIm(l)[i] = values[(2 * i + 1 + 3 * l) % values.size()];
        }
    }
    double fftwBest = 1e300, singleBest = 1e300, batchBest = 1e300;
    for (auto _ : state) {
        fftwBest = std::min(fftwBest, fastestSeconds([&] { fftw_execute(plan); }, rounds, calls));
        singleBest = std::min(singleBest, fastestSeconds([&] { fft(e, in.data(), out.data()); }, rounds, calls));
        batchBest = std::min(batchBest, fastestSeconds([&] { batch.transformInput(batch.lanes()); }, rounds, calls) /
                                            batch.lanes());
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(batch.re(0));
    }
    state.counters["fftw_ns"] = fftwBest * 1e9;
    state.counters["single_ns"] = singleBest * 1e9;
    state.counters["batch_ns"] = batchBest * 1e9;
    state.counters["single_per_fftw"] = singleBest / fftwBest;
    state.counters["batch_per_fftw"] = batchBest / fftwBest;
    state.counters["lanes"] = batch.lanes();
    fftw_destroy_plan(plan);
    fftw_free(fftwIn);
    fftw_free(fftwOut);
}

// The squared magnitudes of 256 segments of 256 bins added into the Welch
// sums: addRows, four rows per pass over the bins (argument 1), or the plain
// loop, one pass per row (argument 0). Both add in segment order.
void welchSums(benchmark::State& state)
{
    constexpr size_t bins = 256;
    constexpr uint64_t segments = 256;
    const bool batched = state.range(0) != 0;
    const std::vector<double> rows = normalValues(bins * segments, 2);
    std::vector<double> sums(bins, 0.0);
    for (auto _ : state) {
        if (batched) {
            addRows(sums.data(), rows.data(), segments, bins);
        } else {
            for (uint64_t s = 0; s < segments; ++s) {
                const double* row = rows.data() + s * bins;
                for (size_t m = 0; m < bins; ++m)
                    sums[m] = sums[m] + row[m];
            }
        }
        benchmark::DoNotOptimize(sums.data());
        benchmark::ClobberMemory();
    }
    state.counters["values_per_s"] =
        benchmark::Counter(double(bins) * segments, benchmark::Counter::kIsIterationInvariantRate);
}

constexpr uint64_t streamSamples = 10000000;

const std::shared_ptr<const SampleSource>& streamSource()
{
    static const std::shared_ptr<const SampleSource> source =
        memorySamples(normalValues(streamSamples, 4), normalValues(streamSamples, 5));
    return source;
}

// The spectrogram stream at the view's defaults (N = 256, overlap 0.8, 2400
// columns) over 10^7 samples; argument: threads (0: all the machine's).
void spectrogramStream(benchmark::State& state)
{
    const SampleSource& source = *streamSource();
    const size_t threads = state.range(0) == 0 ? std::max(1u, std::thread::hardware_concurrency())
                                               : size_t(state.range(0));
    PartLimit limit(threads);
    for (auto _ : state) {
        WorkControl control;
        SpectrogramStream stream(0, streamSamples, 8, 0.8, 10e6, 2400);
        std::vector<BlockConsumer*> consumers{&stream};
        streamRange(source, 0, streamSamples, DcOffset{}, consumers, control);
        benchmark::DoNotOptimize(stream.takeResult().maxValue);
    }
    state.counters["threads"] = double(threads);
    state.counters["samples_per_s"] =
        benchmark::Counter(double(streamSamples), benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(fftAgainstFftw)->Arg(8)->Arg(10)->Arg(12)->Arg(15)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(welchSums)->ArgName("batched")->Arg(0)->Arg(1);
BENCHMARK(spectrogramStream)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(3);
