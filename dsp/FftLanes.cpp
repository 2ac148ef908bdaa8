// Radix-2 kernels over four transforms side by side (see FftLanes.h).

#include "dsp/FftLanes.h"

#include "dsp/FftTwiddles.h"

#include <algorithm>

#if NORVALE_VEC4

namespace {

// Levels of the blocks laneStages finishes one at a time: 2^8 values of four
// lanes, 16 KiB of real and imaginary parts.
constexpr uint32_t laneBlockLevels = 8;

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

// reverseBits(bits, m) for bits in 1 ... 32, inline: the gathers ask for it
// once per group of four values.
inline uint32_t reversed(uint32_t bits, uint32_t m)
{
    m = ((m >> 1) & 0x55555555u) | ((m & 0x55555555u) << 1);
    m = ((m >> 2) & 0x33333333u) | ((m & 0x33333333u) << 2);
    m = ((m >> 4) & 0x0f0f0f0fu) | ((m & 0x0f0f0f0fu) << 4);
    return __builtin_bswap32(m) >> (32 - bits);
}

// Position of value m + t of a group of four (m a multiple of 4) in the
// bit-reversed order over e bits: reverse(m) + reverse(t) N/4.
inline size_t reversedGroup(size_t base, uint32_t t, size_t quarter)
{
    static constexpr uint32_t rev2[4] = {0, 2, 1, 3};
    return base + rev2[t] * quarter;
}

// Stages e - 1 and e of one transform from its quarters' transforms, four bins
// of each quarter at a time; Store(k, re, im) writes bins k ... k + 3.
template <typename Store>
NORVALE_VEC4_INLINE bool lastStagesWith(uint32_t e, bool crossed, const double* re, const double* im,
                                        const double* t1r, const double* t1i, const double* t2r, const double* t2i,
                                        Store store)
{
    // Quarters 0 ... 3 are lanes 0, 2, 1, 3 (values 4m + l in lane l), or
    // lanes 0 ... 3 when the gather crossed the middle lanes.
    const uint32_t lane1 = crossed ? 1 : 2, lane2 = crossed ? 2 : 1;
    const size_t q = size_t(1) << (e - 2);
    Vec4 ordered = Vec4::allSet();
    for (size_t k = 0; k < q; k += 4) {
        Vec4 r[4], i[4];
        for (uint32_t t = 0; t < 4; ++t) {
            r[t] = Vec4::load(re + 4 * (k + t));
            i[t] = Vec4::load(im + 4 * (k + t));
        }
        Vec4::transpose(r[0], r[1], r[2], r[3]);
        Vec4::transpose(i[0], i[1], i[2], i[3]);
        const Vec4 ar = Vec4::load(t1r + k), ai = Vec4::load(t1i + k);
        const Vec4 br = Vec4::load(t1r + q + k), bi = Vec4::load(t1i + q + k);
        Vec4 n0r, n0i, n1r, n1i, n2r, n2i, n3r, n3i;
        butterfly(r[0], i[0], ar, ai, r[lane1], i[lane1], n0r, n0i);
        butterfly(r[0], i[0], br, bi, r[lane1], i[lane1], n1r, n1i);
        butterfly(r[lane2], i[lane2], ar, ai, r[3], i[3], n2r, n2i);
        butterfly(r[lane2], i[lane2], br, bi, r[3], i[3], n3r, n3i);
        Vec4 zr, zi;
        butterfly(n0r, n0i, Vec4::load(t2r + k), Vec4::load(t2i + k), n2r, n2i, zr, zi);
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(zr, zi));
        store(k, zr, zi);
        butterfly(n1r, n1i, Vec4::load(t2r + q + k), Vec4::load(t2i + q + k), n3r, n3i, zr, zi);
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(zr, zi));
        store(q + k, zr, zi);
        butterfly(n0r, n0i, Vec4::load(t2r + 2 * q + k), Vec4::load(t2i + 2 * q + k), n2r, n2i, zr, zi);
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(zr, zi));
        store(2 * q + k, zr, zi);
        butterfly(n1r, n1i, Vec4::load(t2r + 3 * q + k), Vec4::load(t2i + 3 * q + k), n3r, n3i, zr, zi);
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(zr, zi));
        store(3 * q + k, zr, zi);
    }
    return !Vec4::all(ordered);
}

// The quarters' bit-reversed load and their stages 1 and 2 in one sweep: the
// values of one radix-4 group, positions 4p ... 4p + 3, are the inputs m0 +
// reverse2(r) Q/4 with m0 = reverse(4p) over e - 2 bits, m0 < Q/4 (Q = N/4
// values per lane); load(m, r, i) reads input m of every lane.
template <typename Load>
NORVALE_VEC4_INLINE void gatherQuartersWith(uint32_t e, double* re, double* im, Load load)
{
    const FftTwiddles& tw = FftTwiddles::shared();
    const uint32_t bits = e - 2;
    const size_t step = size_t(1) << (bits - 2);
    const Vec4 a1r0 = Vec4::broadcast(tw.levelRe(1)[0]), a1i0 = Vec4::broadcast(tw.levelIm(1)[0]);
    const Vec4 a1r1 = Vec4::broadcast(tw.levelRe(1)[1]), a1i1 = Vec4::broadcast(tw.levelIm(1)[1]);
    Vec4 a2r[4], a2i[4];
    for (uint32_t j = 0; j < 4; ++j) {
        a2r[j] = Vec4::broadcast(tw.levelRe(2)[j]);
        a2i[j] = Vec4::broadcast(tw.levelIm(2)[j]);
    }
    // Taken in input order (m0 = 0, 1, 2, ...), so that the reads stream.
    for (size_t m0 = 0; m0 < step; ++m0) {
        const size_t p = reversed(bits, uint32_t(m0)) / 4;
        Vec4 xr[4], xi[4];
        for (uint32_t r = 0; r < 4; ++r)
            load(reversedGroup(m0, r, step), xr[r], xi[r]);
        Vec4 br[4], bi[4];
        butterfly(xr[0], xi[0], a1r0, a1i0, xr[1], xi[1], br[0], bi[0]);
        butterfly(xr[0], xi[0], a1r1, a1i1, xr[1], xi[1], br[1], bi[1]);
        butterfly(xr[2], xi[2], a1r0, a1i0, xr[3], xi[3], br[2], bi[2]);
        butterfly(xr[2], xi[2], a1r1, a1i1, xr[3], xi[3], br[3], bi[3]);
        double* yr = re + 16 * p;
        double* yi = im + 16 * p;
        for (uint32_t j = 0; j < 4; ++j) {
            Vec4 cr, ci;
            butterfly(br[j % 2], bi[j % 2], a2r[j], a2i[j], br[2 + j % 2], bi[2 + j % 2], cr, ci);
            cr.store(yr + 4 * j);
            ci.store(yi + 4 * j);
        }
    }
}

} // namespace

NORVALE_VEC4_TARGET uint32_t gatherLanes(const double* const* inRe, const double* const* inIm, const double* window,
                                         uint32_t e, double* re, double* im)
{
    const size_t n = size_t(1) << e;
    // Values m ... m + 3 of every lane, times the window: r[t], i[t] hold value
    // m + t of the four lanes.
    const auto load4 = [&](size_t m, Vec4* r, Vec4* i) NORVALE_VEC4_TARGET {
        for (uint32_t l = 0; l < laneCount; ++l) {
            r[l] = Vec4::load(inRe[l] + m);
            i[l] = Vec4::load(inIm[l] + m);
        }
        if (window) {
            const Vec4 w = Vec4::load(window + m);
            for (uint32_t l = 0; l < laneCount; ++l) {
                r[l] = w * r[l];
                i[l] = w * i[l];
            }
        }
        Vec4::transpose(r[0], r[1], r[2], r[3]);
        Vec4::transpose(i[0], i[1], i[2], i[3]);
    };
    if (e < 4) {
        for (size_t m = 0; m < n; m += 4) {
            Vec4 r[4], i[4];
            load4(m, r, i);
            const size_t base = reversed(e, uint32_t(m));
            for (uint32_t t = 0; t < 4; ++t) {
                const size_t at = 4 * reversedGroup(base, t, n / 4);
                r[t].store(re + at);
                i[t].store(im + at);
            }
        }
        return 1;
    }
    // Stages 1 and 2 on the way, which also writes whole runs of four values.
    // Position 4p + r of the bit-reversed order is value q + reverse2(r) N/4
    // with q = reverse(p) over e - 2 bits; for p = p0 + reverse2(t) N/16 (p0 <
    // N/16), q = q0 + t runs over four neighbours, so each quarter is read four
    // values at a time.
    const FftTwiddles& tw = FftTwiddles::shared();
    const Vec4 a1r0 = Vec4::broadcast(tw.levelRe(1)[0]), a1i0 = Vec4::broadcast(tw.levelIm(1)[0]);
    const Vec4 a1r1 = Vec4::broadcast(tw.levelRe(1)[1]), a1i1 = Vec4::broadcast(tw.levelIm(1)[1]);
    Vec4 a2r[4], a2i[4];
    for (uint32_t j = 0; j < 4; ++j) {
        a2r[j] = Vec4::broadcast(tw.levelRe(2)[j]);
        a2i[j] = Vec4::broadcast(tw.levelIm(2)[j]);
    }
    // Taken in input order (q0 = 0, 4, 8, ...), so that the reads stream.
    const size_t quarter = n / 4, sixteenth = n / 16;
    for (size_t q0 = 0; q0 < quarter; q0 += 4) {
        const size_t p0 = reversed(e - 2, uint32_t(q0));
        Vec4 xr[4][4], xi[4][4];
        for (uint32_t r = 0; r < 4; ++r)
            load4(q0 + r * quarter, xr[r], xi[r]);
        for (uint32_t t = 0; t < 4; ++t) {
            // Positions 4p ... 4p + 3 hold quarters 0, 2, 1 and 3.
            Vec4 br[4], bi[4];
            butterfly(xr[0][t], xi[0][t], a1r0, a1i0, xr[2][t], xi[2][t], br[0], bi[0]);
            butterfly(xr[0][t], xi[0][t], a1r1, a1i1, xr[2][t], xi[2][t], br[1], bi[1]);
            butterfly(xr[1][t], xi[1][t], a1r0, a1i0, xr[3][t], xi[3][t], br[2], bi[2]);
            butterfly(xr[1][t], xi[1][t], a1r1, a1i1, xr[3][t], xi[3][t], br[3], bi[3]);
            const size_t p = reversedGroup(p0, t, sixteenth);
            for (uint32_t j = 0; j < 4; ++j) {
                Vec4 cr, ci;
                butterfly(br[j % 2], bi[j % 2], a2r[j], a2i[j], br[2 + j % 2], bi[2 + j % 2], cr, ci);
                cr.store(re + 4 * (4 * p + j));
                ci.store(im + 4 * (4 * p + j));
            }
        }
    }
    return 3;
}

NORVALE_VEC4_TARGET void laneStages(uint32_t e, double* re, double* im, uint32_t first)
{
    const FftTwiddles& tw = FftTwiddles::shared();
    // Stages s0 ... s1 over the n values at re/im, two at a time.
    const auto stages = [&](uint32_t s0, uint32_t s1, size_t n, double* r, double* i) NORVALE_VEC4_TARGET {
        uint32_t s = s0;
        for (; s + 1 <= s1; s += 2)
            lanePair(n, size_t(1) << (s - 1), tw.levelRe(s), tw.levelIm(s), tw.levelRe(s + 1), tw.levelIm(s + 1), r, i);
        if (s == s1)
            laneSingle(n, size_t(1) << (s - 1), tw.levelRe(s), tw.levelIm(s), r, i);
    };
    // The stages up to laneBlockLevels only mix values within blocks of that
    // many levels, which stay in the first-level cache while all of them run.
    const uint32_t local = std::min(e, laneBlockLevels);
    const size_t block = size_t(1) << local;
    for (size_t b = 0; b < (size_t(1) << e); b += block)
        stages(first, local, block, re + 4 * b, im + 4 * b);
    stages(std::max(first, local + 1), e, size_t(1) << e, re, im);
}

NORVALE_VEC4_TARGET unsigned scatterLanes(size_t n, const double* wr, const double* wi, double* const* outRe,
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
        for (uint32_t l = 0; l < laneCount; ++l) {
            r[l].store(outRe[l] + k);
            i[l].store(outIm[l] + k);
        }
    }
    return Vec4::laneBits(ordered);
}

NORVALE_VEC4_TARGET unsigned lanePowers(size_t n, const double* re, const double* im, double* const* out)
{
    Vec4 ordered = Vec4::allSet();
    for (size_t k = 0; k < n; k += 4) {
        Vec4 p[4];
        for (uint32_t t = 0; t < 4; ++t) {
            const Vec4 r = Vec4::load(re + 4 * (k + t));
            const Vec4 i = Vec4::load(im + 4 * (k + t));
            ordered = Vec4::bitAnd(ordered, Vec4::ordered(r, i));
            p[t] = r * r + i * i;
        }
        Vec4::transpose(p[0], p[1], p[2], p[3]);
        for (uint32_t l = 0; l < laneCount; ++l)
            p[l].store(out[l] + k);
    }
    return Vec4::laneBits(ordered);
}

NORVALE_VEC4_TARGET void gatherQuarters(const double* inRe, const double* inIm, uint32_t e, double* re, double* im)
{
    gatherQuartersWith(e, re, im, [&](size_t m, Vec4& r, Vec4& i) NORVALE_VEC4_TARGET {
        r = Vec4::load(inRe + 4 * m);
        i = Vec4::load(inIm + 4 * m);
    });
}

NORVALE_VEC4_TARGET void gatherQuartersComplex(const double* in, uint32_t e, double* re, double* im)
{
    gatherQuartersWith(e, re, im,
                       [&](size_t m, Vec4& r, Vec4& i) NORVALE_VEC4_TARGET { Vec4::loadComplexCrossed(in + 8 * m, r, i); });
}

NORVALE_VEC4_TARGET bool lastStages(uint32_t e, bool crossed, const double* re, const double* im, const double* t1r,
                                    const double* t1i, const double* t2r, const double* t2i, double* outRe,
                                    double* outIm)
{
    const auto store = [&](size_t k, const Vec4& r, const Vec4& i) NORVALE_VEC4_TARGET {
        r.store(outRe + k);
        i.store(outIm + k);
    };
    return lastStagesWith(e, crossed, re, im, t1r, t1i, t2r, t2i, store);
}

NORVALE_VEC4_TARGET bool lastStagesComplex(uint32_t e, bool crossed, const double* re, const double* im,
                                           const double* t1r, const double* t1i, const double* t2r, const double* t2i,
                                           double* out)
{
    const auto store = [&](size_t k, const Vec4& r, const Vec4& i) NORVALE_VEC4_TARGET {
        Vec4::storeComplex(out + 2 * k, r, i);
    };
    return lastStagesWith(e, crossed, re, im, t1r, t1i, t2r, t2i, store);
}

#endif // NORVALE_VEC4
