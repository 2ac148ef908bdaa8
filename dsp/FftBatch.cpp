// Batched radix-2 transforms: four inputs side by side, lane l of every vector
// holding lane l's values, so that each lane goes through exactly the
// operations of the single transform (FftWork) and gets its bits.

#include "dsp/FftBatch.h"

#include "dsp/Fft.h"
#include "dsp/FftLanes.h"
#include "dsp/FftTwiddles.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The lane kernels read and write four values at a time (N >= 4) and take
// their twiddles from the shared table.
constexpr uint32_t minLaneExponent = 2;
constexpr uint32_t maxLaneExponent = FftTwiddles::sharedLevels;
// Values between neighbouring arrays (see FftBatch::stride).
constexpr size_t arrayGap = 64;

uint32_t checkedExponent(uint32_t exponent)
{
    if (exponent > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    return exponent;
}

} // namespace

FftBatch::FftBatch(uint32_t exponent, bool simd)
    : e(checkedExponent(exponent)), n(uint32_t(1) << e), width(1), stride(size_t(n) + arrayGap),
      workStride(0), single(exponent, simd)
{
#if NORVALE_VEC4
    if (simd && FftWork::simdAvailable() && e >= minLaneExponent && e <= maxLaneExponent) {
        width = maxLanes;
        inputs.assign(2 * maxLanes * stride, 0.0);
        results.assign(2 * maxLanes * stride, 0.0);
        workStride = maxLanes * size_t(n) + arrayGap;
        work.assign(2 * workStride, 0.0);
    }
#endif
}

double* FftBatch::inputRe(uint32_t lane)
{
    return width == 1 ? single.inputRe() : inputs.data() + (2 * size_t(lane)) * stride;
}

double* FftBatch::inputIm(uint32_t lane)
{
    return width == 1 ? single.inputIm() : inputs.data() + (2 * size_t(lane) + 1) * stride;
}

const double* FftBatch::re(uint32_t lane) const
{
    return width == 1 ? single.re() : results.data() + (2 * size_t(lane)) * stride;
}

const double* FftBatch::im(uint32_t lane) const
{
    return width == 1 ? single.im() : results.data() + (2 * size_t(lane) + 1) * stride;
}

void FftBatch::transformInput(uint32_t count)
{
    if (count > width)
        throw std::invalid_argument("More transforms than the batch has lanes");
    if (width == 1) {
        if (count == 1)
            single.transformInput();
        return;
    }
    unsigned clean = 0;
    if (count == maxLanes) {
        const double* re[maxLanes];
        const double* im[maxLanes];
        for (uint32_t l = 0; l < maxLanes; ++l) {
            re[l] = inputRe(l);
            im[l] = inputIm(l);
        }
        clean = transformLanes(re, im, nullptr);
    }
    for (uint32_t l = 0; l < count; ++l) {
        if (!((clean >> l) & 1u))
            transformAlone(l);
    }
}

void FftBatch::transformWindowed(uint32_t count, const double* const* re, const double* const* im,
                                 const double* window)
{
    if (count > width)
        throw std::invalid_argument("More transforms than the batch has lanes");
    const unsigned clean = count == maxLanes ? transformLanes(re, im, window) : 0;
    for (uint32_t l = 0; l < count; ++l) {
        if ((clean >> l) & 1u)
            continue;
        loadWindowed(l, re[l], im[l], window);
        if (width == 1)
            single.transformInput();
        else
            transformAlone(l);
    }
}

void FftBatch::loadWindowed(uint32_t lane, const double* re, const double* im, const double* window)
{
    double* inRe = inputRe(lane);
    double* inIm = inputIm(lane);
    for (uint32_t j = 0; j < n; ++j) {
        inRe[j] = window[j] * re[j];
        inIm[j] = window[j] * im[j];
    }
}

void FftBatch::transformAlone(uint32_t lane)
{
    single.transform(inputRe(lane), inputIm(lane));
    double* outRe = results.data() + (2 * size_t(lane)) * stride;
    double* outIm = outRe + stride;
    std::copy(single.re(), single.re() + n, outRe);
    std::copy(single.im(), single.im() + n, outIm);
}

unsigned FftBatch::transformLanes(const double* const* re, const double* const* im, const double* window)
{
#if NORVALE_VEC4
    double* outRe[maxLanes];
    double* outIm[maxLanes];
    for (uint32_t l = 0; l < maxLanes; ++l) {
        outRe[l] = results.data() + (2 * size_t(l)) * stride;
        outIm[l] = outRe[l] + stride;
    }
    double* wr = work.data();
    double* wi = work.data() + workStride;
    gatherLanes(re, im, window, e, wr, wi);
    laneStages(e, wr, wi);
    return scatterLanes(n, wr, wi, outRe, outIm);
#else
    (void)re;
    (void)im;
    (void)window;
    return 0;
#endif
}
