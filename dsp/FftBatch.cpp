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

// The lane kernels read and write four values at a time (N >= 4). Above 2^11
// the four inputs' values outgrow the core's caches where one transform's
// quarters (FftWork) still fit, and one transform at a time is the faster.
constexpr uint32_t minLaneExponent = 2;
constexpr uint32_t maxLaneExponent = 11;
static_assert(maxLaneExponent <= FftTwiddles::sharedLevels, "the lane stages take the shared twiddles");
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
    run(count, nullptr, nullptr, nullptr, nullptr);
}

void FftBatch::transformWindowed(uint32_t count, const double* const* re, const double* const* im,
                                 const double* window)
{
    run(count, re, im, window, nullptr);
}

void FftBatch::powersInput(uint32_t count, double* const* powers)
{
    run(count, nullptr, nullptr, nullptr, powers);
}

void FftBatch::powersWindowed(uint32_t count, const double* const* re, const double* const* im,
                              const double* window, double* const* powers)
{
    run(count, re, im, window, powers);
}

void FftBatch::run(uint32_t count, const double* const* re, const double* const* im, const double* window,
                   double* const* powers)
{
    if (count > width)
        throw std::invalid_argument("More transforms than the batch has lanes");
    const unsigned clean = count == maxLanes ? transformLanes(re, im, window, powers) : 0;
    for (uint32_t l = 0; l < count; ++l) {
        if ((clean >> l) & 1u)
            continue;
        if (re)
            loadWindowed(l, re[l], im[l], window);
        if (width == 1)
            single.transformInput();
        else
            transformAlone(l);
        if (powers) {
            const double* r = this->re(l);
            const double* i = this->im(l);
            for (uint32_t k = 0; k < n; ++k)
                powers[l][k] = r[k] * r[k] + i[k] * i[k];
        }
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

unsigned FftBatch::transformLanes(const double* const* re, const double* const* im, const double* window,
                                  double* const* powers)
{
#if NORVALE_VEC4
    const double* inRe[maxLanes];
    const double* inIm[maxLanes];
    double* outRe[maxLanes];
    double* outIm[maxLanes];
    for (uint32_t l = 0; l < maxLanes; ++l) {
        inRe[l] = re ? re[l] : inputRe(l);
        inIm[l] = im ? im[l] : inputIm(l);
        outRe[l] = results.data() + (2 * size_t(l)) * stride;
        outIm[l] = outRe[l] + stride;
    }
    double* wr = work.data();
    double* wi = work.data() + workStride;
    const uint32_t first = gatherLanes(inRe, inIm, window, e, wr, wi);
    laneStages(e, wr, wi, first);
    if (powers)
        return lanePowers(n, wr, wi, powers);
    return scatterLanes(n, wr, wi, outRe, outIm);
#else
    (void)re;
    (void)im;
    (void)window;
    (void)powers;
    return 0;
#endif
}
