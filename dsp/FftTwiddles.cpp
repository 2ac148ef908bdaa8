// Twiddle tables of the radix-2 stages.

#include "dsp/FftTwiddles.h"

#include <complex>

void FftTwiddles::fill(uint32_t level, double* re, double* im)
{
    const uint64_t m = uint64_t(1) << level;
    const double delta = -6.283185307179586 / double(m);
    for (uint64_t j = 0; j < m; ++j) {
        const std::complex<double> w = std::exp(std::complex<double>(-0.0, delta * double(j)));
        re[j] = w.real();
        im[j] = w.imag();
    }
}

FftTwiddles::FftTwiddles()
    : re((size_t(1) << (sharedLevels + 1)) - 2), im(re.size())
{
    for (uint32_t s = 1; s <= sharedLevels; ++s)
        fill(s, re.data() + offset(s), im.data() + offset(s));
}

const FftTwiddles& FftTwiddles::shared()
{
    static const FftTwiddles table;
    return table;
}
