#include "dsp/Spectrogram.h"

#include "dsp/ParallelParts.h"

#include "dsp/Fft.h"
#include "dsp/FftBatch.h"
#include "dsp/Magnitude.h"
#include "dsp/Spectrum.h"
#include "io/Recording.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Saturating double -> integer conversion: a NaN gives 0, values beyond the
// range of T give its limits (a plain cast would be undefined there).
template <typename T>
T saturate(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= double(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (value >= double(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return T(value);
}

constexpr double epsilon = 2.220446049250313e-16;
// Fewer columns than this per thread are not worth a thread of their own.
constexpr uint64_t minColumnsPerThread = 256;

struct ColumnJob
{
    const double* iSamples;
    const double* qSamples;
    const double* window;
    uint64_t first;
    uint64_t hop;
    uint32_t exponent;
    double sampleRate;
};

// Fills columns [begin, end) of the matrix; returns their largest value
// (lowest double when none is larger, NaN never counts).
double computeColumns(const ColumnJob& job, ColumnMatrix& matrix, uint64_t begin, uint64_t end)
{
    FftBatch batch(job.exponent);
    const uint32_t n = batch.size();
    const uint32_t half = n / 2;
    // N^2 is a power of two, so dividing by it and multiplying by its
    // reciprocal round the same exact value: identical results.
    const double inverseNSquared = 1.0 / (double(n) * double(n));
    const double q = job.sampleRate / double(n);
    std::vector<double> level(n);
    double lanes[4];
    std::fill(lanes, lanes + 4, std::numeric_limits<double>::lowest());
    for (uint64_t c0 = begin; c0 < end; c0 += batch.lanes()) {
        // Columns c0 ... c0 + count - 1 transformed side by side, then taken in order.
        const uint32_t count = uint32_t(std::min<uint64_t>(batch.lanes(), end - c0));
        const double* iSeg[FftBatch::maxLanes];
        const double* qSeg[FftBatch::maxLanes];
        for (uint32_t l = 0; l < count; ++l) {
            const uint64_t s = (c0 + l) * job.hop + job.first;
            iSeg[l] = job.iSamples + s;
            qSeg[l] = job.qSamples + s;
        }
        batch.transformWindowed(count, iSeg, qSeg, job.window);
        for (uint32_t l = 0; l < count; ++l) {
            const double* re = batch.re(l);
            const double* im = batch.im(l);
            // Upper half of the transform first (the negative frequencies), then the lower.
            double* column = matrix.column(c0 + l);
            magnitudes(re + half, im + half, n - half, column);
            magnitudes(re, im, half, column + (n - half));
            // Separate passes so that the plain arithmetic vectorises; the
            // logarithm stays the library's own function.
            for (uint32_t k = 0; k < n; ++k) {
                const double a = column[k];
                level[k] = (a * a * inverseNSquared) / q + epsilon;
            }
            for (uint32_t k = 0; k < n; ++k)
                column[k] = 10.0 * std::log10(level[k]);
            // Four running maxima side by side: a NaN never replaces one, and as
            // no element is -0.0 the largest value is the same in any order.
            uint32_t k = 0;
            for (; k + 4 <= n; k += 4) {
                for (int m = 0; m < 4; ++m)
                    lanes[m] = lanes[m] < column[k + m] ? column[k + m] : lanes[m];
            }
            for (; k < n; ++k)
                lanes[0] = lanes[0] < column[k] ? column[k] : lanes[0];
        }
    }
    double maxValue = std::numeric_limits<double>::lowest();
    for (double lane : lanes) {
        if (maxValue < lane)
            maxValue = lane;
    }
    return maxValue;
}

} // namespace

Spectrogram::Spectrogram(const Recording* recording)
    : recording(recording)
{
}

void Spectrogram::setTimeRange(double start, double stop)
{
    const double fs = double(recording->sampleRate());
    startSample = saturate<int32_t>(std::floor(fs * start));
    stopSample = saturate<uint32_t>(std::ceil(fs * stop));
    compute();
}

void Spectrogram::setFftSizeExponent(uint32_t exponent)
{
    if (exponent > maxFftExponent)
        throw std::invalid_argument("FFT size exponent out of range: " + std::to_string(exponent));
    size = uint32_t(1) << exponent;
}

int Spectrogram::maxPower() const
{
    return saturate<int>(std::trunc(maxValue));
}

void Spectrogram::compute()
{
    if (!recording->isLoaded())
        return;
    computeSamples(recording->iSamples(), recording->qSamples(), double(recording->sampleRate()));
}

void Spectrogram::computeSamples(const std::vector<double>& iSamples, const std::vector<double>& qSamples,
                                 double sampleRate)
{
    if (iSamples.empty() || qSamples.empty())
        return;
    if (iSamples.size() != qSamples.size())
        throw std::runtime_error("Size mismatch in I and Q datasets");
    if (uint64_t(stopSample) > uint64_t(iSamples.size() - 1))
        stopSample = uint32_t(iSamples.size() - 1);

    // A range starting before the recording starts at its first sample; one
    // starting after its stop sample is empty.
    const int64_t first = std::max<int64_t>(startSample, 0);
    const uint64_t length = first > int64_t(stopSample) ? 0 : uint64_t(int64_t(stopSample) - first + 1);
    const uint32_t n = size;
    const int32_t hop = std::max<int32_t>(1, saturate<int32_t>(std::trunc(double(n) * (1.0 - overlapFraction))));
    if (length < n) {
        matrix.clear();
        return;
    }
    const uint64_t count = (length - n) / uint64_t(hop) + 1;

    // A matrix of the same size is refilled in place (no fresh pages to fault in).
    try {
        matrix.resize(count, n);
    } catch (...) {
        matrix.clear();
        throw;
    }
    const std::vector<double> window = hannWindow(n);
    const ColumnJob job{iSamples.data(), qSamples.data(), window.data(), uint64_t(first), uint64_t(hop),
                        uint32_t(std::log2(double(n))), sampleRate};

    // Columns are independent: contiguous runs of them go to separate threads,
    // and the per-run maxima are merged in column order with the same strict
    // comparison, which gives the value a single pass would.
    const uint64_t cores = std::max(1u, std::thread::hardware_concurrency());
    const uint64_t threads = std::clamp<uint64_t>(count / minColumnsPerThread, 1, cores);
    std::vector<double> maxima(threads, std::numeric_limits<double>::lowest());
    try {
        runParts(threads, [&](size_t t) {
            maxima[t] = computeColumns(job, matrix, count * t / threads, count * (t + 1) / threads);
        });
    } catch (...) {
        matrix.clear();
        throw;
    }
    double largest = std::numeric_limits<double>::lowest();
    for (double m : maxima) {
        if (largest < m)
            largest = m;
    }
    maxValue = largest;
}
