#pragma once
// Slow, literal transcriptions of the FFT, the Hann window, the Welch estimate
// and the spectrogram columns: twiddles from the complex exponential at every
// use, sums in the written order. The production code must match them bit for bit.

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <vector>

namespace literal {

inline uint32_t reverseBits(uint32_t bits, uint32_t value)
{
    uint32_t result = 0;
    for (uint32_t i = 0; i < bits; ++i) {
        const uint32_t bit = i < 32 ? (value >> i) & 1u : 0u;
        const uint32_t position = bits - 1 - i;
        if (position < 32)
            result |= bit << position;
    }
    return result;
}

inline void fft(uint32_t e, const std::complex<double>* in, std::complex<double>* out)
{
    const uint32_t n = uint32_t(1) << e;
    std::vector<std::complex<double>> a(n), b(n);
    for (uint32_t i = 0; i < n; ++i)
        a[reverseBits(e, i)] = in[i];
    for (uint32_t s = 1; s <= e; ++s) {
        const uint32_t m = uint32_t(1) << s;
        const uint32_t h = uint32_t(1) << (s - 1);
        const uint32_t groups = uint32_t(1) << (e - s);
        for (uint32_t g = 0; g < groups; ++g) {
            const uint32_t base = g * m;
            const double delta = -6.283185307179586 / m;
            for (uint32_t j = 0; j < h; ++j) {
                const double theta = delta * j;
                const std::complex<double> w = std::exp(std::complex<double>(-0.0, theta));
                const std::complex<double> t = w * a[base + h + j];
                b[base + j] = a[base + j] + t;
            }
            for (uint32_t j = h; j < m; ++j) {
                const double theta = delta * j;
                const std::complex<double> w = std::exp(std::complex<double>(-0.0, theta));
                const std::complex<double> t = w * a[base + j];
                b[base + j] = a[base + j - h] + t;
            }
        }
        std::swap(a, b);
    }
    for (uint32_t i = 0; i < n; ++i)
        out[i] = a[i];
}

inline std::vector<double> hannWindow(size_t L)
{
    std::vector<double> w(L);
    for (size_t n = 0; n < L; ++n) {
        const double angle = (6.283185307179586 * double(n)) / double(L - 1);
        w[n] = (1 - std::cos(angle)) * 0.5;
    }
    return w;
}

// Requires x.size() >= L, V <= L <= N.
inline std::vector<double> welchSpectrum(const std::vector<std::complex<double>>& x, uint32_t N, uint32_t L, uint32_t V)
{
    uint32_t H = L - V;
    if (H == 0)
        H = 1;
    const uint32_t K = uint32_t((uint64_t(x.size()) - L) / H + 1);
    const std::vector<double> w = hannWindow(L);
    double S = 0.0;
    for (uint32_t n = 0; n < L; ++n)
        S = S + w[n] * w[n];
    std::vector<double> P(N, 0.0);
    std::vector<std::complex<double>> segment(N), spectrum(N);
    const uint32_t e = uint32_t(std::log2(double(N)));
    for (uint32_t k = 0; k < K; ++k) {
        for (uint32_t n = 0; n < L; ++n) {
            const std::complex<double> v = x[size_t(k) * H + n];
            segment[n] = std::complex<double>(v.real() * w[n], v.imag() * w[n]);
        }
        for (uint32_t n = L; n < N; ++n)
            segment[n] = std::complex<double>(0.0, 0.0);
        fft(e, segment.data(), spectrum.data());
        for (uint32_t m = 0; m < N; ++m)
            P[m] = P[m] + (spectrum[m].real() * spectrum[m].real() + spectrum[m].imag() * spectrum[m].imag());
    }
    for (uint32_t m = 0; m < N; ++m)
        P[m] = P[m] / (double(K) * S);
    return P;
}

struct SpectrogramResult
{
    std::vector<std::vector<double>> columns;
    double maxValue = 1.0;
};

// Columns of samples startSample ... stopSample (clamped to the last sample);
// requires 0 <= startSample <= stopSample. With `rounding`, each magnitude is
// passed through it before the conversion to dB.
inline SpectrogramResult spectrogram(const std::vector<double>& I, const std::vector<double>& Q, uint32_t sampleRate,
                                     int32_t startSample, uint32_t stopSample, uint32_t N, double overlap,
                                     double previousMax = 1.0, double (*rounding)(double) = nullptr)
{
    SpectrogramResult result;
    result.maxValue = previousMax;
    if (uint64_t(stopSample) > uint64_t(I.size() - 1))
        stopSample = uint32_t(I.size() - 1);
    const uint32_t len = stopSample - uint32_t(startSample) + 1;
    int32_t H = int32_t(N * (1.0 - overlap));
    if (H < 1)
        H = 1;
    if (len < N)
        return result;
    const uint32_t K = (len - N) / uint32_t(H) + 1;
    std::vector<double> w(N);
    for (uint32_t n = 0; n < N; ++n)
        w[n] = (1 - std::cos((6.283185307179586 * double(n)) / double(N - 1))) * 0.5;
    result.maxValue = std::numeric_limits<double>::lowest();
    const uint32_t e = uint32_t(std::log2(double(N)));
    for (uint32_t c = 0; c < K; ++c) {
        const int32_t s = int32_t(c) * H + startSample;
        std::vector<std::complex<double>> segment(N), spectrum(N);
        std::vector<double> column(N);
        for (uint32_t j = 0; j < N; ++j)
            segment[j] = std::complex<double>(w[j] * I[s + j], w[j] * Q[s + j]);
        fft(e, segment.data(), spectrum.data());
        const double fs = double(sampleRate);
        for (uint32_t k = 0; k < N; ++k) {
            const uint32_t f = (N / 2 + k) % N;
            const double a = rounding ? rounding(std::abs(spectrum[f])) : std::abs(spectrum[f]);
            const double p = a * a / (double(N) * double(N));
            const double q = fs / N;
            const double value = 10 * std::log10(p / q + 2.220446049250313e-16);
            column[k] = value;
            if (result.maxValue < value)
                result.maxValue = value;
        }
        result.columns.push_back(std::move(column));
    }
    return result;
}

} // namespace literal
