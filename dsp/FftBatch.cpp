// Batched radix-2 transforms: four inputs side by side, lane l of every vector
// holding lane l's values, so that each lane goes through exactly the
// operations of the single transform (FftWork) and gets its bits.

#include "dsp/FftBatch.h"

#include "dsp/Fft.h"
#include "dsp/FftTwiddles.h"
#include "dsp/Vec4.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The lane kernels load a quarter of the input four values at a time (N >= 16)
// and take their twiddles from the shared table.
constexpr uint32_t minLaneExponent = 4;
constexpr uint32_t maxLaneExponent = FftTwiddles::sharedLevels;
// Values between neighbouring arrays (see FftBatch::stride).
constexpr size_t arrayGap = 64;

uint32_t checkedExponent(uint32_t exponent)
{
    if (exponent > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    return exponent;
}

#if NORVALE_VEC4

// out = a + w * b on the four lanes, the product written out as
// (wr*br - wi*bi) + i(wr*bi + wi*br): the standard complex product without
// its special case for NaN parts (see FftWork.cpp).
NORVALE_VEC4_INLINE void butterfly(const Vec4& ar, const Vec4& ai, const Vec4& wr, const Vec4& wi, const Vec4& br,
                                   const Vec4& bi, Vec4& outR, Vec4& outI)
{
    const Vec4 tr = wr * br - wi * bi;
    const Vec4 ti = wr * bi + wi * br;
    outR = ar + tr;
    outI = ai + ti;
}

// The lanes' natural-order inputs.
struct LaneInputs
{
    const double* re[FftBatch::maxLanes];
    const double* im[FftBatch::maxLanes];

    // Values m ... m + 3: r[t] and i[t] hold value m + t of every lane.
    NORVALE_VEC4_INLINE void load4(size_t m, Vec4* r, Vec4* i) const
    {
        for (uint32_t l = 0; l < FftBatch::maxLanes; ++l) {
            r[l] = Vec4::load(re[l] + m);
            i[l] = Vec4::load(im[l] + m);
        }
        Vec4::transpose(r[0], r[1], r[2], r[3]);
        Vec4::transpose(i[0], i[1], i[2], i[3]);
    }
};

// The bit-reversed load and stages 1 and 2 in one sweep. Value 4p + r of the
// bit-reversed order is input q + rev2(r) N/4 with q = reverse(p) over e - 2
// bits; for p = p0 + rev2(t) N/16 (p0 < N/16) q runs over four neighbours
// q0 + t, so each quarter of the input is read four values at a time.
NORVALE_VEC4_TARGET void inputStages(const LaneInputs& in, uint32_t e, const FftTwiddles& tw, double* wr, double* wi)
{
    static constexpr uint32_t rev2[4] = {0, 2, 1, 3};
    const size_t n = size_t(1) << e, quarter = n / 4, sixteenth = n / 16;
    const double* t1r = tw.levelRe(1);
    const double* t1i = tw.levelIm(1);
    const double* t2r = tw.levelRe(2);
    const double* t2i = tw.levelIm(2);
    const Vec4 a1r0 = Vec4::broadcast(t1r[0]), a1i0 = Vec4::broadcast(t1i[0]);
    const Vec4 a1r1 = Vec4::broadcast(t1r[1]), a1i1 = Vec4::broadcast(t1i[1]);
    const Vec4 a2r0 = Vec4::broadcast(t2r[0]), a2i0 = Vec4::broadcast(t2i[0]);
    const Vec4 a2r1 = Vec4::broadcast(t2r[1]), a2i1 = Vec4::broadcast(t2i[1]);
    const Vec4 a2r2 = Vec4::broadcast(t2r[2]), a2i2 = Vec4::broadcast(t2i[2]);
    const Vec4 a2r3 = Vec4::broadcast(t2r[3]), a2i3 = Vec4::broadcast(t2i[3]);
    for (size_t p0 = 0; p0 < sixteenth; ++p0) {
        const size_t q0 = reverseBits(e - 2, uint32_t(p0));
        Vec4 xr[4][4], xi[4][4];
        for (uint32_t r = 0; r < 4; ++r)
            in.load4(q0 + r * quarter, xr[r], xi[r]);
        for (uint32_t t = 0; t < 4; ++t) {
            // Values 4p ... 4p + 3 come from quarters 0, 2, 1 and 3.
            Vec4 br[4], bi[4];
            butterfly(xr[0][t], xi[0][t], a1r0, a1i0, xr[2][t], xi[2][t], br[0], bi[0]);
            butterfly(xr[0][t], xi[0][t], a1r1, a1i1, xr[2][t], xi[2][t], br[1], bi[1]);
            butterfly(xr[1][t], xi[1][t], a1r0, a1i0, xr[3][t], xi[3][t], br[2], bi[2]);
            butterfly(xr[1][t], xi[1][t], a1r1, a1i1, xr[3][t], xi[3][t], br[3], bi[3]);
            Vec4 cr[4], ci[4];
            butterfly(br[0], bi[0], a2r0, a2i0, br[2], bi[2], cr[0], ci[0]);
            butterfly(br[1], bi[1], a2r1, a2i1, br[3], bi[3], cr[1], ci[1]);
            butterfly(br[0], bi[0], a2r2, a2i2, br[2], bi[2], cr[2], ci[2]);
            butterfly(br[1], bi[1], a2r3, a2i3, br[3], bi[3], cr[3], ci[3]);
            const size_t p = p0 + rev2[t] * sixteenth;
            for (uint32_t k = 0; k < 4; ++k) {
                cr[k].store(wr + 4 * (4 * p + k));
                ci[k].store(wi + 4 * (4 * p + k));
            }
        }
    }
}

// Stages s and s + 1 in place over N values of four lanes: each step reads the
// values j, H + j, 2H + j, 3H + j of a span of 4H and writes them back.
NORVALE_VEC4_TARGET void lanePair(size_t n, size_t h, const double* t1r, const double* t1i, const double* t2r,
                                  const double* t2i, double* re, double* im)
{
    const size_t d = 4 * h;
    for (size_t b = 0; b < n; b += 4 * h) {
        for (size_t j = 0; j < h; ++j) {
            double* r0 = re + 4 * (b + j);
            double* i0 = im + 4 * (b + j);
            const Vec4 x0r = Vec4::load(r0), x0i = Vec4::load(i0);
            const Vec4 x1r = Vec4::load(r0 + d), x1i = Vec4::load(i0 + d);
            const Vec4 x2r = Vec4::load(r0 + 2 * d), x2i = Vec4::load(i0 + 2 * d);
            const Vec4 x3r = Vec4::load(r0 + 3 * d), x3i = Vec4::load(i0 + 3 * d);
            const Vec4 sar = Vec4::broadcast(t1r[j]), sai = Vec4::broadcast(t1i[j]);
            const Vec4 sbr = Vec4::broadcast(t1r[h + j]), sbi = Vec4::broadcast(t1i[h + j]);
            Vec4 y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
            butterfly(x0r, x0i, sar, sai, x1r, x1i, y0r, y0i);
            butterfly(x0r, x0i, sbr, sbi, x1r, x1i, y1r, y1i);
            butterfly(x2r, x2i, sar, sai, x3r, x3i, y2r, y2i);
            butterfly(x2r, x2i, sbr, sbi, x3r, x3i, y3r, y3i);
            Vec4 zr, zi;
            butterfly(y0r, y0i, Vec4::broadcast(t2r[j]), Vec4::broadcast(t2i[j]), y2r, y2i, zr, zi);
            zr.store(r0);
            zi.store(i0);
            butterfly(y1r, y1i, Vec4::broadcast(t2r[h + j]), Vec4::broadcast(t2i[h + j]), y3r, y3i, zr, zi);
            zr.store(r0 + d);
            zi.store(i0 + d);
            butterfly(y0r, y0i, Vec4::broadcast(t2r[2 * h + j]), Vec4::broadcast(t2i[2 * h + j]), y2r, y2i, zr, zi);
            zr.store(r0 + 2 * d);
            zi.store(i0 + 2 * d);
            butterfly(y1r, y1i, Vec4::broadcast(t2r[3 * h + j]), Vec4::broadcast(t2i[3 * h + j]), y3r, y3i, zr, zi);
            zr.store(r0 + 3 * d);
            zi.store(i0 + 3 * d);
        }
    }
}

// One stage in place, span 2H.
NORVALE_VEC4_TARGET void laneSingle(size_t n, size_t h, const double* tr, const double* ti, double* re, double* im)
{
    const size_t d = 4 * h;
    for (size_t b = 0; b < n; b += 2 * h) {
        for (size_t j = 0; j < h; ++j) {
            double* r0 = re + 4 * (b + j);
            double* i0 = im + 4 * (b + j);
            const Vec4 x0r = Vec4::load(r0), x0i = Vec4::load(i0);
            const Vec4 x1r = Vec4::load(r0 + d), x1i = Vec4::load(i0 + d);
            Vec4 yr, yi;
            butterfly(x0r, x0i, Vec4::broadcast(tr[j]), Vec4::broadcast(ti[j]), x1r, x1i, yr, yi);
            yr.store(r0);
            yi.store(i0);
            butterfly(x0r, x0i, Vec4::broadcast(tr[h + j]), Vec4::broadcast(ti[h + j]), x1r, x1i, yr, yi);
            yr.store(r0 + d);
            yi.store(i0 + d);
        }
    }
}

// Writes the lanes' N results apart; returns bit l set where lane l holds no NaN.
NORVALE_VEC4_TARGET unsigned outputLanes(size_t n, const double* wr, const double* wi, double* const* outRe,
                                         double* const* outIm)
{
    Vec4 ordered = Vec4::allSet();
    for (size_t k = 0; k < n; k += 4) {
        Vec4 r[4], i[4];
        for (uint32_t t = 0; t < 4; ++t) {
            r[t] = Vec4::load(wr + 4 * (k + t));
            i[t] = Vec4::load(wi + 4 * (k + t));
            ordered = Vec4::bitAnd(ordered, Vec4::ordered(r[t], i[t]));
        }
        Vec4::transpose(r[0], r[1], r[2], r[3]);
        Vec4::transpose(i[0], i[1], i[2], i[3]);
        for (uint32_t l = 0; l < FftBatch::maxLanes; ++l) {
            r[l].store(outRe[l] + k);
            i[l].store(outIm[l] + k);
        }
    }
    return Vec4::laneBits(ordered);
}

#endif // NORVALE_VEC4

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
    if (count == maxLanes)
        clean = transformLanes();
    for (uint32_t l = 0; l < count; ++l) {
        if (!((clean >> l) & 1u))
            transformAlone(l);
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

unsigned FftBatch::transformLanes()
{
#if NORVALE_VEC4
    const FftTwiddles& tw = FftTwiddles::shared();
    LaneInputs in{};
    double* outRe[maxLanes];
    double* outIm[maxLanes];
    for (uint32_t l = 0; l < maxLanes; ++l) {
        in.re[l] = inputRe(l);
        in.im[l] = inputIm(l);
        outRe[l] = results.data() + (2 * size_t(l)) * stride;
        outIm[l] = outRe[l] + stride;
    }
    double* wr = work.data();
    double* wi = work.data() + workStride;
    inputStages(in, e, tw, wr, wi);
    uint32_t s = 3;
    for (; s + 1 <= e; s += 2)
        lanePair(n, size_t(1) << (s - 1), tw.levelRe(s), tw.levelIm(s), tw.levelRe(s + 1), tw.levelIm(s + 1), wr, wi);
    if (s == e)
        laneSingle(n, size_t(1) << (s - 1), tw.levelRe(s), tw.levelIm(s), wr, wi);
    return outputLanes(n, wr, wi, outRe, outIm);
#else
    return 0;
#endif
}
