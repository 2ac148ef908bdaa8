#include "dsp/Spectrum.h"

#include "dsp/FftWork.h"

#include <algorithm>
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
    uint32_t hop = L - V; // V > L wraps to a hop beyond any input: one segment
    if (hop == 0)
        hop = 1;
    uint64_t count;
    if (x.size() >= L) {
        count = (uint64_t(x.size()) - L) / hop + 1;
    } else {
        // Too few samples for one segment: what there is forms the one segment,
        // with a window of its own length, zero-filled to N.
        L = uint32_t(x.size());
        count = 1;
    }
    const std::vector<double> w = hannWindow(L);
    double power = 0.0;
    for (uint32_t n = 0; n < L; ++n)
        power = power + w[n] * w[n];

    // N is a power of two in every call the application makes; otherwise the
    // transform covers the first 2^floor(log2 N) values and the bins above it stay 0.
    FftWork work(uint32_t(std::log2(double(N))));
    const uint32_t used = work.size();
    const uint32_t filled = std::min(L, used);
    double* inRe = work.inputRe();
    double* inIm = work.inputIm();
    std::fill(inRe, inRe + used, 0.0);
    std::fill(inIm, inIm + used, 0.0);
    const double* re = work.re();
    const double* im = work.im();
    std::vector<double> p(N, 0.0);
    for (uint64_t k = 0; k < count; ++k) {
        const std::complex<double>* segment = x.data() + k * hop;
        for (uint32_t n = 0; n < filled; ++n) {
            inRe[n] = segment[n].real() * w[n];
            inIm[n] = segment[n].imag() * w[n];
        }
        work.transformInput();
        for (uint32_t m = 0; m < used; ++m)
            p[m] = p[m] + (re[m] * re[m] + im[m] * im[m]);
        for (uint32_t m = used; m < N; ++m)
            p[m] = p[m] + (0.0 * 0.0 + 0.0 * 0.0);
    }
    const double scale = double(count) * power;
    for (uint32_t m = 0; m < N; ++m)
        p[m] = p[m] / scale;
    return p;
}
