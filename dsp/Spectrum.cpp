#include "dsp/Spectrum.h"

#include "dsp/Fft.h"

#include <cmath>
#include <stdexcept>

std::vector<double> hannWindow(size_t L)
{
    std::vector<double> w(L);
    for (size_t n = 0; n < L; ++n) {
        const double angle = (6.283185307179586 * double(n)) / double(L - 1);
        w[n] = (1.0 - std::cos(angle)) * 0.5;
    }
    return w;
}

std::vector<double> welchSpectrum(const std::vector<std::complex<double>>& x, uint32_t N, uint32_t L, uint32_t V)
{
    if (L > N)
        throw std::invalid_argument("Segment length exceeds the FFT size");
    if (N == 0)
        return {};
    uint32_t hop = L - V;
    if (hop == 0)
        hop = 1;
    uint64_t count;
    if (x.size() >= L) {
        count = (uint64_t(x.size()) - L) / hop + 1;
    } else {
        // Too few samples for one segment: what there is forms the segment.
        L = uint32_t(x.size());
        count = 1;
    }
    const std::vector<double> w = hannWindow(L);
    double power = 0.0;
    for (uint32_t n = 0; n < L; ++n)
        power += w[n] * w[n];
    std::vector<double> p(N, 0.0);
    std::vector<std::complex<double>> segment(N), spectrum(N);
    const uint32_t e = uint32_t(std::log2(double(N)));
    for (uint64_t k = 0; k < count; ++k) {
        const std::complex<double>* src = x.data() + k * hop;
        for (uint32_t n = 0; n < L; ++n)
            segment[n] = std::complex<double>(src[n].real() * w[n], src[n].imag() * w[n]);
        for (uint32_t n = L; n < N; ++n)
            segment[n] = std::complex<double>(0.0, 0.0);
        fft(e, segment.data(), spectrum.data());
        for (uint32_t m = 0; m < N; ++m)
            p[m] = p[m] + (spectrum[m].real() * spectrum[m].real() + spectrum[m].imag() * spectrum[m].imag());
    }
    const double scale = double(count) * power;
    for (uint32_t m = 0; m < N; ++m)
        p[m] = p[m] / scale;
    return p;
}
