// The radix-2 kernels: portable, and over a four-double vector where the processor has one.

#include "dsp/FftWork.h"

#include "dsp/Fft.h"
#include "dsp/FftLanes.h"
#include "dsp/FftTwiddles.h"
#include "dsp/Vec4.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

// Every twiddle is exp(i * theta) with theta = (-2*pi / M) * j, evaluated once
// per span M with exactly that expression and kept in a table; the butterflies
// then do the same full complex products and sums, in the same order, as the
// textbook radix-2 recursion, so the results are bit for bit the same. The
// vector kernels skip the standard library's special case for a product whose
// two parts are both NaN (it turns such products of infinities into
// infinities); a NaN never disappears in the butterflies, so when the result
// holds no NaN that case never arose, and otherwise the transform is redone on
// the portable path, which uses the standard complex product.

namespace {

// Levels 1 ... cachedLevels come from the shared table; larger sizes make
// their own upper levels.
constexpr uint32_t cachedLevels = FftTwiddles::sharedLevels;
// Sizes whose quarters the lane kernels transform side by side (FftLanes.h):
// quarters of at least four values, whose twiddles are all in the shared table.
constexpr uint32_t minQuarterExponent = 4;
constexpr uint32_t maxQuarterExponent = cachedLevels + 2;
// Values between the quarters' real and imaginary parts (see resultGap).
constexpr size_t quarterGap = 64;

uint32_t reverse32(uint32_t v)
{
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0f0f0f0fu) | ((v & 0x0f0f0f0fu) << 4);
    return __builtin_bswap32(v);
}

// reverseBits for bits in 1 ... 32.
inline uint32_t reverseLow(uint32_t bits, uint32_t value)
{
    return reverse32(value) >> (32 - bits);
}

// Where a transform reads its input: interleaved complex values or split arrays.
// load4 gathers the values at four positions into lanes 0 ... 3, loadRun the
// four values at i ... i + 3.
struct ComplexSource
{
    const double* p;
    double re(size_t i) const { return p[2 * i]; }
    double im(size_t i) const { return p[2 * i + 1]; }
#if NORVALE_VEC4
    NORVALE_VEC4_INLINE void load4(size_t p0, size_t p1, size_t p2, size_t p3, Vec4& r, Vec4& i) const
    {
        Vec4::loadComplex(p, p0, p1, p2, p3, r, i);
    }
    NORVALE_VEC4_INLINE void loadRun(size_t at, Vec4& r, Vec4& i) const
    {
        Vec4::loadComplex(p, at, at + 1, at + 2, at + 3, r, i);
    }
    void gatherQuarters(uint32_t e, double* re, double* im) const { gatherQuartersComplex(p, e, re, im); }
    static constexpr bool crossedQuarters = true;
#endif
};

struct SplitSource
{
    const double* r;
    const double* q;
    double re(size_t i) const { return r[i]; }
    double im(size_t i) const { return q[i]; }
#if NORVALE_VEC4
    NORVALE_VEC4_INLINE void load4(size_t p0, size_t p1, size_t p2, size_t p3, Vec4& vr, Vec4& vi) const
    {
        vr = Vec4::lanes(r[p0], r[p1], r[p2], r[p3]);
        vi = Vec4::lanes(q[p0], q[p1], q[p2], q[p3]);
    }
    NORVALE_VEC4_INLINE void loadRun(size_t at, Vec4& vr, Vec4& vi) const
    {
        vr = Vec4::load(r + at);
        vi = Vec4::load(q + at);
    }
    void gatherQuarters(uint32_t e, double* re, double* im) const { ::gatherQuarters(r, q, e, re, im); }
    static constexpr bool crossedQuarters = false;
#endif
};

#if NORVALE_VEC4

// out = a + w * b on four complex values at once, the product written out as
// (wr*br - wi*bi) + i(wr*bi + wi*br).
NORVALE_VEC4_INLINE void butterfly(const Vec4& ar, const Vec4& ai, const Vec4& wr, const Vec4& wi, const Vec4& br,
                                   const Vec4& bi, Vec4& outR, Vec4& outI)
{
    const Vec4 tr = wr * br - wi * bi;
    const Vec4 ti = wr * bi + wi * br;
    outR = ar + tr;
    outI = ai + ti;
}

// Bit-reversed load and the first four stages, sixteen values at a time. Stages
// 1 and 2 work across four blocks of four (lane l holds block l), the transpose
// turns the lanes into natural order, and stages 3 and 4 work along the rows.
template <typename Source>
NORVALE_VEC4_TARGET void firstStages(const Source& src, uint32_t e, const FftTwiddles& tw, size_t qBegin, size_t qEnd,
                                     double* outRe, double* outIm)
{
    static constexpr uint32_t rev4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    const uint32_t shift = e - 4;
    size_t offset[16];
    for (int r = 0; r < 16; ++r)
        offset[r] = size_t(rev4[r]) << shift;

    const double* w1r = tw.re.data();
    const double* w1i = tw.im.data();
    const double* w2r = tw.re.data() + 2;
    const double* w2i = tw.im.data() + 2;
    const Vec4 a1r0 = Vec4::broadcast(w1r[0]), a1i0 = Vec4::broadcast(w1i[0]);
    const Vec4 a1r1 = Vec4::broadcast(w1r[1]), a1i1 = Vec4::broadcast(w1i[1]);
    const Vec4 a2r0 = Vec4::broadcast(w2r[0]), a2i0 = Vec4::broadcast(w2i[0]);
    const Vec4 a2r1 = Vec4::broadcast(w2r[1]), a2i1 = Vec4::broadcast(w2i[1]);
    const Vec4 a2r2 = Vec4::broadcast(w2r[2]), a2i2 = Vec4::broadcast(w2i[2]);
    const Vec4 a2r3 = Vec4::broadcast(w2r[3]), a2i3 = Vec4::broadcast(w2i[3]);
    const Vec4 w3ra = Vec4::load(tw.re.data() + 6), w3ia = Vec4::load(tw.im.data() + 6);
    const Vec4 w3rb = Vec4::load(tw.re.data() + 10), w3ib = Vec4::load(tw.im.data() + 10);
    const Vec4 w4r0 = Vec4::load(tw.re.data() + 14), w4i0 = Vec4::load(tw.im.data() + 14);
    const Vec4 w4r1 = Vec4::load(tw.re.data() + 18), w4i1 = Vec4::load(tw.im.data() + 18);
    const Vec4 w4r2 = Vec4::load(tw.re.data() + 22), w4i2 = Vec4::load(tw.im.data() + 22);
    const Vec4 w4r3 = Vec4::load(tw.re.data() + 26), w4i3 = Vec4::load(tw.im.data() + 26);

    for (size_t q = qBegin; q < qEnd; ++q) {
        const size_t base = shift == 0 ? 0 : reverseLow(shift, uint32_t(q));
        Vec4 vr[4], vi[4];
        for (int i = 0; i < 4; ++i) {
            src.load4(base + offset[i], base + offset[4 + i], base + offset[8 + i], base + offset[12 + i], vr[i], vi[i]);
        }
        Vec4 br[4], bi[4];
        butterfly(vr[0], vi[0], a1r0, a1i0, vr[1], vi[1], br[0], bi[0]);
        butterfly(vr[0], vi[0], a1r1, a1i1, vr[1], vi[1], br[1], bi[1]);
        butterfly(vr[2], vi[2], a1r0, a1i0, vr[3], vi[3], br[2], bi[2]);
        butterfly(vr[2], vi[2], a1r1, a1i1, vr[3], vi[3], br[3], bi[3]);
        Vec4 cr[4], ci[4];
        butterfly(br[0], bi[0], a2r0, a2i0, br[2], bi[2], cr[0], ci[0]);
        butterfly(br[1], bi[1], a2r1, a2i1, br[3], bi[3], cr[1], ci[1]);
        butterfly(br[0], bi[0], a2r2, a2i2, br[2], bi[2], cr[2], ci[2]);
        butterfly(br[1], bi[1], a2r3, a2i3, br[3], bi[3], cr[3], ci[3]);
        Vec4::transpose(cr[0], cr[1], cr[2], cr[3]);
        Vec4::transpose(ci[0], ci[1], ci[2], ci[3]);
        Vec4 dr[4], di[4];
        butterfly(cr[0], ci[0], w3ra, w3ia, cr[1], ci[1], dr[0], di[0]);
        butterfly(cr[0], ci[0], w3rb, w3ib, cr[1], ci[1], dr[1], di[1]);
        butterfly(cr[2], ci[2], w3ra, w3ia, cr[3], ci[3], dr[2], di[2]);
        butterfly(cr[2], ci[2], w3rb, w3ib, cr[3], ci[3], dr[3], di[3]);
        Vec4 er[4], ei[4];
        butterfly(dr[0], di[0], w4r0, w4i0, dr[2], di[2], er[0], ei[0]);
        butterfly(dr[1], di[1], w4r1, w4i1, dr[3], di[3], er[1], ei[1]);
        butterfly(dr[0], di[0], w4r2, w4i2, dr[2], di[2], er[2], ei[2]);
        butterfly(dr[1], di[1], w4r3, w4i3, dr[3], di[3], er[3], ei[3]);
        double* yr = outRe + 16 * q;
        double* yi = outIm + 16 * q;
        for (int k = 0; k < 4; ++k) {
            er[k].store(yr + 4 * k);
            ei[k].store(yi + 4 * k);
        }
    }
}

// The same first four stages for large sizes, where firstStages' gathers from
// far apart miss the caches: four 16-value groups at once, one per lane. The
// groups whose bases (see firstStages) are b ... b + 3 read neighbouring
// input values, so each load takes a run of four. Bases b = (u << blockBits)
// | first, u = 0, 1, ...: the groups of the four blocks that runStages visits
// one after another, from the first of them.
template <typename Source>
NORVALE_VEC4_TARGET void firstStagesWide(const Source& src, uint32_t e, uint32_t blockBits, size_t first,
                                         const FftTwiddles& tw, double* outRe, double* outIm)
{
    static constexpr uint32_t rev4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    const uint32_t shift = e - 4;
    for (size_t u = 0; u < (size_t(1) << (shift - blockBits)); ++u) {
        const size_t b = (u << blockBits) | first;
        Vec4 ar[16], ai[16];
        for (int r = 0; r < 16; ++r)
            src.loadRun(b + (size_t(rev4[r]) << shift), ar[r], ai[r]);
        for (uint32_t s = 1; s <= 4; ++s) {
            const size_t m = size_t(1) << s, h = m / 2;
            const double* wr = tw.re.data() + m - 2;
            const double* wi = tw.im.data() + m - 2;
            for (size_t base = 0; base < 16; base += m) {
                for (size_t j = 0; j < h; ++j) {
                    Vec4 lr, li, ur, ui;
                    butterfly(ar[base + j], ai[base + j], Vec4::broadcast(wr[j]), Vec4::broadcast(wi[j]),
                              ar[base + h + j], ai[base + h + j], lr, li);
                    butterfly(ar[base + j], ai[base + j], Vec4::broadcast(wr[h + j]), Vec4::broadcast(wi[h + j]),
                              ar[base + h + j], ai[base + h + j], ur, ui);
                    ar[base + j] = lr;
                    ai[base + j] = li;
                    ar[base + h + j] = ur;
                    ai[base + h + j] = ui;
                }
            }
        }
        // Lane l holds the 16 results of group q = reverse(b + l).
        double* yr[4];
        double* yi[4];
        for (uint32_t l = 0; l < 4; ++l) {
            const size_t q = reverseLow(shift, uint32_t(b + l));
            yr[l] = outRe + 16 * q;
            yi[l] = outIm + 16 * q;
        }
        for (int k = 0; k < 16; k += 4) {
            Vec4::transpose(ar[k], ar[k + 1], ar[k + 2], ar[k + 3]);
            Vec4::transpose(ai[k], ai[k + 1], ai[k + 2], ai[k + 3]);
            for (int l = 0; l < 4; ++l) {
                ar[k + l].store(yr[l] + k);
                ai[k + l].store(yi[l] + k);
            }
        }
    }
}

// Stages s and s + 1 in one sweep, in place: each step reads the four values
// at j, H + j, 2H + j, 3H + j of a span of 4H and writes them back.
NORVALE_VEC4_TARGET void stagePair(size_t n, size_t h, const double* t1r, const double* t1i, const double* t2r,
                                   const double* t2i, double* re, double* im)
{
    for (size_t b = 0; b < n; b += 4 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (size_t j = 0; j < h; j += 4) {
            const Vec4 x0r = Vec4::load(r0 + j), x0i = Vec4::load(i0 + j);
            const Vec4 x1r = Vec4::load(r0 + h + j), x1i = Vec4::load(i0 + h + j);
            const Vec4 x2r = Vec4::load(r0 + 2 * h + j), x2i = Vec4::load(i0 + 2 * h + j);
            const Vec4 x3r = Vec4::load(r0 + 3 * h + j), x3i = Vec4::load(i0 + 3 * h + j);
            const Vec4 sar = Vec4::load(t1r + j), sai = Vec4::load(t1i + j);
            const Vec4 sbr = Vec4::load(t1r + h + j), sbi = Vec4::load(t1i + h + j);
            Vec4 y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
            butterfly(x0r, x0i, sar, sai, x1r, x1i, y0r, y0i);
            butterfly(x0r, x0i, sbr, sbi, x1r, x1i, y1r, y1i);
            butterfly(x2r, x2i, sar, sai, x3r, x3i, y2r, y2i);
            butterfly(x2r, x2i, sbr, sbi, x3r, x3i, y3r, y3i);
            Vec4 zr, zi;
            butterfly(y0r, y0i, Vec4::load(t2r + j), Vec4::load(t2i + j), y2r, y2i, zr, zi);
            zr.store(r0 + j);
            zi.store(i0 + j);
            butterfly(y1r, y1i, Vec4::load(t2r + h + j), Vec4::load(t2i + h + j), y3r, y3i, zr, zi);
            zr.store(r0 + h + j);
            zi.store(i0 + h + j);
            butterfly(y0r, y0i, Vec4::load(t2r + 2 * h + j), Vec4::load(t2i + 2 * h + j), y2r, y2i, zr, zi);
            zr.store(r0 + 2 * h + j);
            zi.store(i0 + 2 * h + j);
            butterfly(y1r, y1i, Vec4::load(t2r + 3 * h + j), Vec4::load(t2i + 3 * h + j), y3r, y3i, zr, zi);
            zr.store(r0 + 3 * h + j);
            zi.store(i0 + 3 * h + j);
        }
    }
}

// One stage in place, for a span of 2H with H >= 4.
NORVALE_VEC4_TARGET void stageSingle(size_t n, size_t h, const double* tr, const double* ti, double* re, double* im)
{
    for (size_t b = 0; b < n; b += 2 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (size_t j = 0; j < h; j += 4) {
            const Vec4 x0r = Vec4::load(r0 + j), x0i = Vec4::load(i0 + j);
            const Vec4 x1r = Vec4::load(r0 + h + j), x1i = Vec4::load(i0 + h + j);
            Vec4 yr, yi;
            butterfly(x0r, x0i, Vec4::load(tr + j), Vec4::load(ti + j), x1r, x1i, yr, yi);
            yr.store(r0 + j);
            yi.store(i0 + j);
            butterfly(x0r, x0i, Vec4::load(tr + h + j), Vec4::load(ti + h + j), x1r, x1i, yr, yi);
            yr.store(r0 + h + j);
            yi.store(i0 + h + j);
        }
    }
}

// The late stages of a large transform go column by column. For stages s0 ...
// s1 and H0 = 2^(s0 - 1), the values at j + k H0 (k = 0, 1, ...) of a span of
// 2^s1 only meet each other; a column is columnWidth neighbouring j of every
// row k. Its rows pass through a small buffer between the steps, so a whole
// group of stages reads and writes the large array once. The twiddle of row k
// of stage s is the table entry j + (k mod 2^(s - s0 + 1)) H0.
constexpr size_t columnWidth = 8;
constexpr uint32_t maxColumnLevels = 6;
// The stages done block by block; the column groups start above them.
constexpr uint32_t blockLevels = 10;

// Where a column step reads or writes its rows: row k at re + k * stride.
struct Rows
{
    double* re;
    double* im;
    size_t stride;
};

// The twiddles of one stage for one column: those of row r at re + r * stride.
struct ColumnTwiddles
{
    const double* re;
    const double* im;
    size_t stride;
};

// The twiddles of the levels blockLevels + 1 ... cachedLevels for columns of
// the first column group (s0 = blockLevels + 1), in the order the columns read
// them: a column's rows one after another, so that they stream from memory
// instead of being gathered from rows 2^blockLevels values apart.
struct ColumnTwiddleCache
{
    std::vector<double> re, im;
    ColumnTwiddleCache()
        : re((size_t(1) << (cachedLevels + 1)) - (size_t(1) << (blockLevels + 1))), im(re.size())
    {
        const FftTwiddles& tw = FftTwiddles::shared();
        const size_t h0 = size_t(1) << blockLevels;
        for (uint32_t s = blockLevels + 1; s <= cachedLevels; ++s) {
            const size_t rows = size_t(1) << (s - blockLevels);
            const double* fromRe = tw.re.data() + (size_t(1) << s) - 2;
            const double* fromIm = tw.im.data() + (size_t(1) << s) - 2;
            size_t to = offset(s);
            for (size_t j = 0; j < h0; j += columnWidth) {
                for (size_t k = 0; k < rows; ++k) {
                    for (size_t c = 0; c < columnWidth; ++c, ++to) {
                        re[to] = fromRe[j + k * h0 + c];
                        im[to] = fromIm[j + k * h0 + c];
                    }
                }
            }
        }
    }
    static size_t offset(uint32_t level) { return (size_t(1) << level) - (size_t(1) << (blockLevels + 1)); }
    ColumnTwiddles at(uint32_t level, size_t j) const
    {
        const size_t from = offset(level) + j * (size_t(1) << (level - blockLevels));
        return {re.data() + from, im.data() + from, columnWidth};
    }
};

const ColumnTwiddleCache& columnTwiddleCache()
{
    static const ColumnTwiddleCache cache;
    return cache;
}

// Stages s and s + 1 of one column, rows hr apart in stage s. in may equal out.
NORVALE_VEC4_TARGET void columnPair(size_t rows, size_t hr, ColumnTwiddles t1, ColumnTwiddles t2, Rows in, Rows out)
{
    for (size_t g = 0; g < rows; g += 4 * hr) {
        for (size_t r = 0; r < hr; ++r) {
            const size_t k = g + r;
            // Offsets of row k (input, output) and of twiddle row r (stages s,
            // s + 1), and the distance of hr rows in each.
            const size_t xi = k * in.stride, dx = hr * in.stride;
            const size_t yi = k * out.stride, dy = hr * out.stride;
            const size_t ui = r * t1.stride, du = hr * t1.stride;
            const size_t vi = r * t2.stride, dv = hr * t2.stride;
            for (size_t c = 0; c < columnWidth; c += 4) {
                const double* xr = in.re + xi + c;
                const double* xm = in.im + xi + c;
                const Vec4 x0r = Vec4::load(xr), x0i = Vec4::load(xm);
                const Vec4 x1r = Vec4::load(xr + dx), x1i = Vec4::load(xm + dx);
                const Vec4 x2r = Vec4::load(xr + 2 * dx), x2i = Vec4::load(xm + 2 * dx);
                const Vec4 x3r = Vec4::load(xr + 3 * dx), x3i = Vec4::load(xm + 3 * dx);
                const double* ur = t1.re + ui + c;
                const double* um = t1.im + ui + c;
                const Vec4 sar = Vec4::load(ur), sai = Vec4::load(um);
                const Vec4 sbr = Vec4::load(ur + du), sbi = Vec4::load(um + du);
                Vec4 y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
                butterfly(x0r, x0i, sar, sai, x1r, x1i, y0r, y0i);
                butterfly(x0r, x0i, sbr, sbi, x1r, x1i, y1r, y1i);
                butterfly(x2r, x2i, sar, sai, x3r, x3i, y2r, y2i);
                butterfly(x2r, x2i, sbr, sbi, x3r, x3i, y3r, y3i);
                const double* vr = t2.re + vi + c;
                const double* vm = t2.im + vi + c;
                double* pr = out.re + yi + c;
                double* pm = out.im + yi + c;
                Vec4 zr, zi;
                butterfly(y0r, y0i, Vec4::load(vr), Vec4::load(vm), y2r, y2i, zr, zi);
                zr.store(pr);
                zi.store(pm);
                butterfly(y1r, y1i, Vec4::load(vr + dv), Vec4::load(vm + dv), y3r, y3i, zr, zi);
                zr.store(pr + dy);
                zi.store(pm + dy);
                butterfly(y0r, y0i, Vec4::load(vr + 2 * dv), Vec4::load(vm + 2 * dv), y2r, y2i, zr, zi);
                zr.store(pr + 2 * dy);
                zi.store(pm + 2 * dy);
                butterfly(y1r, y1i, Vec4::load(vr + 3 * dv), Vec4::load(vm + 3 * dv), y3r, y3i, zr, zi);
                zr.store(pr + 3 * dy);
                zi.store(pm + 3 * dy);
            }
        }
    }
}

// Stage s alone on one column.
NORVALE_VEC4_TARGET void columnSingle(size_t rows, size_t hr, ColumnTwiddles t, Rows in, Rows out)
{
    for (size_t g = 0; g < rows; g += 2 * hr) {
        for (size_t r = 0; r < hr; ++r) {
            const size_t k = g + r;
            const size_t xi = k * in.stride, dx = hr * in.stride;
            const size_t yo = k * out.stride, dy = hr * out.stride;
            const size_t ui = r * t.stride, du = hr * t.stride;
            for (size_t c = 0; c < columnWidth; c += 4) {
                const Vec4 x0r = Vec4::load(in.re + xi + c), x0i = Vec4::load(in.im + xi + c);
                const Vec4 x1r = Vec4::load(in.re + xi + dx + c), x1i = Vec4::load(in.im + xi + dx + c);
                Vec4 yr, yi;
                butterfly(x0r, x0i, Vec4::load(t.re + ui + c), Vec4::load(t.im + ui + c), x1r, x1i, yr, yi);
                yr.store(out.re + yo + c);
                yi.store(out.im + yo + c);
                butterfly(x0r, x0i, Vec4::load(t.re + ui + du + c), Vec4::load(t.im + ui + du + c), x1r, x1i, yr, yi);
                yr.store(out.re + yo + dy + c);
                yi.store(out.im + yo + dy + c);
            }
        }
    }
}

// Whether any of the n values (a multiple of 4) is NaN.
NORVALE_VEC4_TARGET bool anyNan(size_t n, const double* re, const double* im)
{
    Vec4 ordered = Vec4::allSet();
    for (size_t k = 0; k < n; k += 4)
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(Vec4::load(re + k), Vec4::load(im + k)));
    return !Vec4::all(ordered);
}

// Writes re/im to out as interleaved pairs; returns whether any value is NaN.
NORVALE_VEC4_TARGET bool interleave(size_t n, const double* re, const double* im, double* out)
{
    Vec4 ordered = Vec4::allSet();
    for (size_t k = 0; k < n; k += 4) {
        const Vec4 r = Vec4::load(re + k);
        const Vec4 i = Vec4::load(im + k);
        ordered = Vec4::bitAnd(ordered, Vec4::ordered(r, i));
        Vec4::storeComplex(out + 2 * k, r, i);
    }
    return !Vec4::all(ordered);
}

#endif // NORVALE_VEC4

} // namespace

FftWork::FftWork(uint32_t exponent, bool simd)
    : e(exponent), simd(simd && simdAvailable())
{
    if (exponent > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    n = uint32_t(1) << e;
    inRe.assign(n, 0.0);
    inIm.assign(n, 0.0);
    result.assign(2 * size_t(n) + resultGap, 0.0);
    if (this->simd && e >= minQuarterExponent && e <= maxQuarterExponent)
        quarters.assign(2 * size_t(n) + quarterGap, 0.0);
    if (e > cachedLevels) {
        const size_t total = (size_t(1) << (e + 1)) - (size_t(1) << (cachedLevels + 1));
        ownRe.resize(total);
        ownIm.resize(total);
        for (uint32_t s = cachedLevels + 1; s <= e; ++s) {
            const size_t at = (size_t(1) << s) - (size_t(1) << (cachedLevels + 1));
            FftTwiddles::fill(s, ownRe.data() + at, ownIm.data() + at);
        }
    }
}

bool FftWork::simdAvailable()
{
    return vec4Supported();
}

const double* FftWork::twiddleRe(uint32_t level) const
{
    if (level <= cachedLevels)
        return FftTwiddles::shared().re.data() + (size_t(1) << level) - 2;
    return ownRe.data() + (size_t(1) << level) - (size_t(1) << (cachedLevels + 1));
}

const double* FftWork::twiddleIm(uint32_t level) const
{
    if (level <= cachedLevels)
        return FftTwiddles::shared().im.data() + (size_t(1) << level) - 2;
    return ownIm.data() + (size_t(1) << level) - (size_t(1) << (cachedLevels + 1));
}

void FftWork::transformInput()
{
    run(SplitSource{inRe.data(), inIm.data()});
}

void FftWork::transform(const double* inRe, const double* inIm)
{
    run(SplitSource{inRe, inIm});
}

void FftWork::transform(const std::complex<double>* in)
{
    run(ComplexSource{reinterpret_cast<const double*>(in)});
}

void FftWork::transform(const std::complex<double>* in, std::complex<double>* out)
{
#if NORVALE_VEC4
    if (!quarters.empty() && in != out) {
        // Input and output apart: the last stages write the output, and the
        // rare redo can still read the untouched input.
        const ComplexSource source{reinterpret_cast<const double*>(in)};
        runQuarters(source);
        const double* re = quarters.data();
        const double* im = quarters.data() + n + quarterGap;
        if (lastStagesComplex(e, ComplexSource::crossedQuarters, re, im, twiddleRe(e - 1), twiddleIm(e - 1),
                              twiddleRe(e), twiddleIm(e), reinterpret_cast<double*>(out))) {
            runPortable(source);
            store(out);
        }
        return;
    }
    if (simd && e >= 4 && in != out) {
        // Input and output apart: the NaN check rides along with the store, and
        // the rare redo can still read the untouched input.
        const ComplexSource source{reinterpret_cast<const double*>(in)};
        runStages(source);
        if (interleave(n, outRe(), outIm(), reinterpret_cast<double*>(out))) {
            runPortable(source);
            store(out);
        }
        return;
    }
#endif
    transform(in);
    store(out);
}

void FftWork::store(std::complex<double>* out) const
{
    double* o = reinterpret_cast<double*>(out);
#if NORVALE_VEC4
    if (simd && n >= 4) {
        interleave(n, re(), im(), o);
        return;
    }
#endif
    for (size_t k = 0; k < n; ++k) {
        o[2 * k] = re()[k];
        o[2 * k + 1] = im()[k];
    }
}

template <typename Source>
void FftWork::run(const Source& source)
{
#if NORVALE_VEC4
    if (!quarters.empty()) {
        runQuarters(source);
        const double* re = quarters.data();
        const double* im = quarters.data() + n + quarterGap;
        if (lastStages(e, Source::crossedQuarters, re, im, twiddleRe(e - 1), twiddleIm(e - 1), twiddleRe(e),
                       twiddleIm(e), outRe(), outIm()))
            runPortable(source);
        return;
    }
    if (simd && e >= 4) {
        runStages(source);
        if (anyNan(n, outRe(), outIm()))
            runPortable(source);
        return;
    }
#endif
    runPortable(source);
}

#if NORVALE_VEC4
template <typename Source>
void FftWork::runQuarters(const Source& source)
{
    double* re = quarters.data();
    double* im = quarters.data() + n + quarterGap;
    source.gatherQuarters(e, re, im);
    laneStages(e - 2, re, im, 3);
}

template <typename Source>
void FftWork::runStages(const Source& source)
{
    // Stages up to blockLevels run block by block while a block is in the
    // first-level cache. Blocks go in bit-reversed order, so the blocks that
    // read neighbouring input values come one after another.
    const uint32_t local = std::min(e, blockLevels);
    const size_t blockSize = size_t(1) << local;
    const uint32_t blockBits = e - local;
    // From four blocks on, the first stages take the four blocks that share
    // input cache lines at once (firstStagesWide).
    const size_t together = blockBits >= 2 ? 4 : 1;
    for (size_t index = 0; index < (size_t(1) << blockBits); index += together) {
        if (together == 4)
            firstStagesWide(source, e, blockBits, index, FftTwiddles::shared(), outRe(), outIm());
        for (size_t i = index; i < index + together; ++i) {
            const size_t block = (blockBits == 0 ? 0 : reverseLow(blockBits, uint32_t(i))) * blockSize;
            if (together == 1)
                firstStages(source, e, FftTwiddles::shared(), block / 16, (block + blockSize) / 16, outRe(), outIm());
            for (uint32_t s = 5; s + 1 <= local; s += 2) {
                stagePair(blockSize, size_t(1) << (s - 1), twiddleRe(s), twiddleIm(s), twiddleRe(s + 1),
                          twiddleIm(s + 1), outRe() + block, outIm() + block);
            }
        }
    }
    if (local % 2 == 1 && local >= 5)
        stageSingle(n, size_t(1) << (local - 1), twiddleRe(local), twiddleIm(local), outRe(), outIm());
    // The rest in groups of at most maxColumnLevels stages, as even as can be.
    if (e > local) {
        const uint32_t rest = e - local;
        const uint32_t groups = (rest + maxColumnLevels - 1) / maxColumnLevels;
        uint32_t s0 = local + 1;
        for (uint32_t g = 0; g < groups; ++g) {
            const uint32_t levels = (e + 1 - s0) / (groups - g);
            runColumns(s0, s0 + levels - 1);
            s0 += levels;
        }
    }
}

void FftWork::runColumns(uint32_t s0, uint32_t s1)
{
    const size_t h0 = size_t(1) << (s0 - 1);
    const size_t rows = size_t(1) << (s1 - s0 + 1);
    const size_t span = h0 * rows;
    const ColumnTwiddleCache* ordered = s0 == blockLevels + 1 ? &columnTwiddleCache() : nullptr;
    const auto twiddles = [&](uint32_t s, size_t j) {
        if (ordered && s <= cachedLevels)
            return ordered->at(s, j);
        return ColumnTwiddles{twiddleRe(s) + j, twiddleIm(s) + j, h0};
    };
    alignas(64) double bufferRe[(size_t(1) << maxColumnLevels) * columnWidth];
    alignas(64) double bufferIm[(size_t(1) << maxColumnLevels) * columnWidth];
    const Rows buffer{bufferRe, bufferIm, columnWidth};
    for (size_t base = 0; base < n; base += span) {
        for (size_t j = 0; j < h0; j += columnWidth) {
            const Rows array{outRe() + base + j, outIm() + base + j, h0};
            for (uint32_t s = s0; s <= s1;) {
                const uint32_t step = s + 1 <= s1 ? 2 : 1;
                const Rows in = s == s0 ? array : buffer;
                const Rows to = s + step > s1 ? array : buffer;
                const size_t hr = size_t(1) << (s - s0);
                if (step == 2)
                    columnPair(rows, hr, twiddles(s, j), twiddles(s + 1, j), in, to);
                else
                    columnSingle(rows, hr, twiddles(s, j), in, to);
                s += step;
            }
        }
    }
}
#endif

template <typename Source>
void FftWork::runPortable(const Source& source)
{
    scratchA.resize(n);
    scratchB.resize(n);
    std::complex<double>* a = scratchA.data();
    std::complex<double>* b = scratchB.data();
    for (size_t i = 0; i < n; ++i)
        a[e == 0 ? 0 : reverseLow(e, uint32_t(i))] = std::complex<double>(source.re(i), source.im(i));
    for (uint32_t s = 1; s <= e; ++s) {
        const size_t m = size_t(1) << s;
        const size_t h = m / 2;
        const double* tr = twiddleRe(s);
        const double* ti = twiddleIm(s);
        for (size_t base = 0; base < n; base += m) {
            for (size_t j = 0; j < h; ++j)
                b[base + j] = a[base + j] + std::complex<double>(tr[j], ti[j]) * a[base + h + j];
            for (size_t j = h; j < m; ++j)
                b[base + j] = a[base + j - h] + std::complex<double>(tr[j], ti[j]) * a[base + j];
        }
        std::swap(a, b);
    }
    for (size_t i = 0; i < n; ++i) {
        outRe()[i] = a[i].real();
        outIm()[i] = a[i].imag();
    }
}
