#include "dsp/Spectrogram.h"

#include "dsp/Fft.h"
#include "dsp/Spectrum.h"
#include "io/Recording.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

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
    const std::vector<double>& iSamples = recording->iSamples();
    const std::vector<double>& qSamples = recording->qSamples();
    if (iSamples.empty() || qSamples.empty())
        return;
    if (iSamples.size() != qSamples.size())
        throw std::runtime_error("Size mismatch in I and Q datasets");
    if (uint64_t(stopSample) > uint64_t(iSamples.size() - 1))
        stopSample = uint32_t(iSamples.size() - 1);
    matrix.clear();

    // A range starting before the recording starts at its first sample; one
    // starting after the stop sample is empty.
    const int64_t first = std::max<int64_t>(startSample, 0);
    if (first > int64_t(stopSample))
        return;
    const uint64_t length = uint64_t(int64_t(stopSample) - first + 1);
    const uint32_t n = size;
    const int32_t hop = std::max<int32_t>(1, saturate<int32_t>(std::trunc(double(n) * (1.0 - overlapFraction))));
    if (length < n)
        return;
    const uint64_t count = (length - n) / uint64_t(hop) + 1;

    const std::vector<double> w = hannWindow(n);
    const uint32_t e = uint32_t(std::log2(double(n)));
    const double fs = double(recording->sampleRate());
    const double nSquared = double(n) * double(n);
    const double q = fs / double(n);
    matrix.resize(count, n);
    maxValue = std::numeric_limits<double>::lowest();
    std::vector<std::complex<double>> segment(n), spectrum(n);
    for (uint64_t c = 0; c < count; ++c) {
        const uint64_t s = c * uint64_t(hop) + uint64_t(first);
        for (uint32_t j = 0; j < n; ++j)
            segment[j] = std::complex<double>(w[j] * iSamples[s + j], w[j] * qSamples[s + j]);
        fft(e, segment.data(), spectrum.data());
        double* column = matrix.column(c);
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t f = (n / 2 + k) % n;
            const double a = std::abs(spectrum[f]);
            const double p = a * a / nSquared;
            const double value = 10.0 * std::log10(p / q + epsilon);
            column[k] = value;
            if (maxValue < value)
                maxValue = value;
        }
    }
}
