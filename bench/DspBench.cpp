// FFT, spectrogram and Welch estimate: our code against the literal
// transcription kept with the tests and, for the FFT, against FFTW.

#include "dsp/Fft.h"
#include "dsp/FftWork.h"
#include "dsp/Spectrogram.h"
#include "dsp/Spectrum.h"
#include "io/Recording.h"
#include "tests/dsp/LiteralReference.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <complex>
#include <random>
#include <vector>

namespace {

using Complex = std::complex<double>;

std::vector<Complex> noise(size_t n, uint32_t seed)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<Complex> v(n);
    for (Complex& x : v)
        x = Complex(normal(rng), normal(rng));
    return v;
}

constexpr size_t benchSamples = 1000000;
constexpr uint32_t benchRate = 1000000;

void fftOurs(benchmark::State& state)
{
    const uint32_t e = uint32_t(state.range(0));
    std::vector<Complex> in = noise(size_t(1) << e, 1), out(in.size());
    for (auto _ : state) {
        fft(e, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

// The path of processors without a vector kernel (simd = false).
void fftPortable(benchmark::State& state)
{
    const uint32_t e = uint32_t(state.range(0));
    std::vector<Complex> in = noise(size_t(1) << e, 1), out(in.size());
    FftWork work(e, false);
    for (auto _ : state) {
        work.transform(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void fftLiteral(benchmark::State& state)
{
    const uint32_t e = uint32_t(state.range(0));
    std::vector<Complex> in = noise(size_t(1) << e, 1), out(in.size());
    for (auto _ : state) {
        literal::fft(e, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void fftFftw(benchmark::State& state)
{
    const int n = 1 << state.range(0);
    fftw_complex* in = fftw_alloc_complex(n);
    fftw_complex* out = fftw_alloc_complex(n);
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
    const std::vector<Complex> values = noise(size_t(n), 1);
    for (int i = 0; i < n; ++i) {
        in[i][0] = values[i].real();
        in[i][1] = values[i].imag();
    }
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

struct BenchRecording
{
    Recording recording;
    BenchRecording()
    {
        const std::vector<Complex> v = noise(benchSamples, 2);
        std::vector<double> i(v.size()), q(v.size());
        for (size_t k = 0; k < v.size(); ++k) {
            i[k] = v[k].real();
            q[k] = v[k].imag();
        }
        recording.assign(benchRate, std::move(i), std::move(q));
    }
};

const Recording& benchRecording()
{
    static BenchRecording r;
    return r.recording;
}

// Defaults over the whole recording: N = 256, overlap 0.8, 19,603 columns,
// recomputed by the same object (as the time-range Apply does).
void spectrogramOurs(benchmark::State& state)
{
    const Recording& recording = benchRecording();
    Spectrogram spectrogram(&recording);
    for (auto _ : state) {
        spectrogram.setTimeRange(0.0, double(benchSamples) / benchRate);
        benchmark::DoNotOptimize(spectrogram.columns().column(0));
    }
    state.counters["columns"] = double(spectrogram.columns().size());
}

// The same with a new object each time: the matrix storage is taken afresh.
void spectrogramOursFresh(benchmark::State& state)
{
    const Recording& recording = benchRecording();
    for (auto _ : state) {
        Spectrogram spectrogram(&recording);
        spectrogram.setTimeRange(0.0, double(benchSamples) / benchRate);
        benchmark::DoNotOptimize(spectrogram.columns().column(0));
    }
}

void spectrogramLiteral(benchmark::State& state)
{
    const Recording& recording = benchRecording();
    for (auto _ : state) {
        const literal::SpectrogramResult result = literal::spectrogram(
            recording.iSamples(), recording.qSamples(), recording.sampleRate(), 0, uint32_t(benchSamples), 256, 0.8);
        benchmark::DoNotOptimize(result.columns.data());
    }
}

// The spectrum view's defaults: N = L = 256, V = 204 (80 % truncated).
void welchOurs(benchmark::State& state)
{
    const std::vector<Complex> x = noise(benchSamples, 3);
    for (auto _ : state) {
        const std::vector<double> p = welchSpectrum(x, 256, 256, 204);
        benchmark::DoNotOptimize(p.data());
    }
}

// The view's entry: I and Q read in place; the argument is the thread count
// (0: one per core), to show what the threads bring.
void welchSplit(benchmark::State& state)
{
    const std::vector<Complex> x = noise(benchSamples, 3);
    std::vector<double> i(x.size()), q(x.size());
    for (size_t k = 0; k < x.size(); ++k) {
        i[k] = x[k].real();
        q[k] = x[k].imag();
    }
    for (auto _ : state) {
        const std::vector<double> p =
            welchSpectrum(i.data(), q.data(), i.size(), 256, 256, 204, unsigned(state.range(0)));
        benchmark::DoNotOptimize(p.data());
    }
}

void welchLiteral(benchmark::State& state)
{
    const std::vector<Complex> x = noise(benchSamples, 3);
    for (auto _ : state) {
        const std::vector<double> p = literal::welchSpectrum(x, 256, 256, 204);
        benchmark::DoNotOptimize(p.data());
    }
}

// With --benchmark_repetitions, "fastest" is the least disturbed run: on a
// machine shared with other work it gives steadier ratios than the mean.
double fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

BENCHMARK(fftOurs)->DenseRange(4, 15)->ComputeStatistics("fastest", fastest);
BENCHMARK(fftFftw)->DenseRange(4, 15)->ComputeStatistics("fastest", fastest);
BENCHMARK(fftPortable)->DenseRange(4, 15)->ComputeStatistics("fastest", fastest);
BENCHMARK(fftLiteral)->DenseRange(4, 15);
BENCHMARK(spectrogramOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(spectrogramOursFresh)->Unit(benchmark::kMillisecond);
BENCHMARK(spectrogramLiteral)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(welchOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(welchSplit)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(0);
BENCHMARK(welchLiteral)->Unit(benchmark::kMillisecond)->Iterations(2);
