#include "dsp/Fft.h"

#include <stdexcept>
#include <vector>

uint32_t reverseBits(uint32_t bits, uint32_t value)
{
    uint32_t result = 0;
    for (uint32_t i = 0; i < bits && i < 32; ++i)
        result = (result << 1) | ((value >> i) & 1u);
    return result;
}

void fft(uint32_t e, const std::complex<double>* in, std::complex<double>* out)
{
    if (e > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    const uint32_t n = uint32_t(1) << e;
    std::vector<std::complex<double>> a(n), b(n);
    for (uint32_t i = 0; i < n; ++i)
        a[reverseBits(e, i)] = in[i];
    for (uint32_t s = 1; s <= e; ++s) {
        const uint32_t m = uint32_t(1) << s;
        const uint32_t h = m >> 1;
        for (uint32_t base = 0; base < n; base += m) {
            const double delta = -6.283185307179586 / m;
            for (uint32_t j = 0; j < h; ++j) {
                const std::complex<double> w = std::exp(std::complex<double>(-0.0, delta * j));
                b[base + j] = a[base + j] + w * a[base + h + j];
            }
            for (uint32_t j = h; j < m; ++j) {
                const std::complex<double> w = std::exp(std::complex<double>(-0.0, delta * j));
                b[base + j] = a[base + j - h] + w * a[base + j];
            }
        }
        a.swap(b);
    }
    for (uint32_t i = 0; i < n; ++i)
        out[i] = a[i];
}
