// The whole spectrogram of a time range, by the views' stream.

#include "dsp/Spectrogram.h"

#include "dsp/Fft.h"
#include "dsp/SpectrogramStream.h"
#include "io/Recording.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

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
    if (length < n) {
        matrix.clear();
        return;
    }
    // The stream the views use, with one output column per time column.
    const uint32_t hop = spectrogramHop(n, overlapFraction);
    const uint64_t count = spectrogramColumnCount(length, n, hop);
    try {
        SpectrogramStream stream(uint64_t(first), length, uint32_t(std::log2(double(n))),
                                 overlapFraction, sampleRate, static_cast<size_t>(count));
        WorkControl control;
        stream.consume(uint64_t(first), static_cast<size_t>(length), iSamples.data() + first,
                       qSamples.data() + first, control);
        PooledSpectrogram result = stream.takeResult();
        matrix = std::move(result.columns);
        maxValue = result.maxValue;
    } catch (...) {
        matrix.clear();
        throw;
    }
}
