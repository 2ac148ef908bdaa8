// Window and averaged spectrum of samples already in memory; the running sums
// themselves live in WelchAccumulator, shared with the streamed estimate.

#include "dsp/Spectrum.h"

#include "dsp/WelchAccumulator.h"

#include <cmath>

std::vector<double> hannWindow(size_t L)
{
    std::vector<double> w(L);
    for (size_t n = 0; n < L; ++n) {
        const double angle = (6.283185307179586 * double(n)) / double(L - 1);
        w[n] = (1.0 - std::cos(angle)) * 0.5;
    }
    return w;
}

std::vector<double> welchSpectrum(const std::vector<std::complex<double>>& x, uint32_t N, uint32_t L,
                                  uint32_t V, unsigned threads)
{
    WelchAccumulator welch(x.size(), N, L, V, threads);
    welch.add(x.data(), loadComplexSegment, welch.segmentCount(), nullptr);
    return welch.result();
}

std::vector<double> welchSpectrum(const double* i, const double* q, size_t size, uint32_t N,
                                  uint32_t L, uint32_t V, unsigned threads)
{
    const double* const iq[2] = {i, q};
    WelchAccumulator welch(size, N, L, V, threads);
    welch.add(iq, loadSplitSegment, welch.segmentCount(), nullptr);
    return welch.result();
}
