#include "dsp/FftWork.h"

#include "dsp/Fft.h"

#include <immintrin.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

// Every twiddle is exp(i * theta) with theta = (-2*pi / M) * j, evaluated once
// per span M with exactly that expression and kept in a table; the butterflies
// then do the same full complex products and sums, in the same order, as the
// textbook radix-2 recursion, so the results are bit for bit the same. The
// AVX2 kernels skip the standard library's special case for a product whose
// two parts are both NaN (it turns such products of infinities into
// infinities); a NaN never disappears in the butterflies, so when the result
// holds no NaN that case never arose, and otherwise the transform is redone on
// the portable path, which uses the standard complex product.

namespace {

// Levels 1 ... cachedLevels share one table; level s (span M = 2^s) holds M
// twiddles at offset M - 2.
constexpr uint32_t cachedLevels = 15;

void fillTwiddles(uint32_t level, double* re, double* im)
{
    const uint64_t m = uint64_t(1) << level;
    const double delta = -6.283185307179586 / double(m);
    for (uint64_t j = 0; j < m; ++j) {
        const std::complex<double> w = std::exp(std::complex<double>(-0.0, delta * double(j)));
        re[j] = w.real();
        im[j] = w.imag();
    }
}

struct TwiddleCache
{
    std::vector<double> re, im;
    TwiddleCache()
        : re((size_t(1) << (cachedLevels + 1)) - 2), im(re.size())
    {
        for (uint32_t s = 1; s <= cachedLevels; ++s)
            fillTwiddles(s, re.data() + (size_t(1) << s) - 2, im.data() + (size_t(1) << s) - 2);
    }
};

const TwiddleCache& twiddleCache()
{
    static const TwiddleCache cache;
    return cache;
}

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

#define NORVALE_AVX2 __attribute__((target("avx2")))
#define NORVALE_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Where a transform reads its input: interleaved complex values or split arrays.
// load4 gathers the values at four positions into lanes 0 ... 3.
struct ComplexSource
{
    const double* p;
    double re(size_t i) const { return p[2 * i]; }
    double im(size_t i) const { return p[2 * i + 1]; }
    NORVALE_AVX2_INLINE void load4(size_t p0, size_t p1, size_t p2, size_t p3, __m256d& r, __m256d& i) const
    {
        const __m256d a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + 2 * p0)), _mm_loadu_pd(p + 2 * p2), 1);
        const __m256d b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + 2 * p1)), _mm_loadu_pd(p + 2 * p3), 1);
        r = _mm256_unpacklo_pd(a, b);
        i = _mm256_unpackhi_pd(a, b);
    }
};

struct SplitSource
{
    const double* r;
    const double* q;
    double re(size_t i) const { return r[i]; }
    double im(size_t i) const { return q[i]; }
    NORVALE_AVX2_INLINE void load4(size_t p0, size_t p1, size_t p2, size_t p3, __m256d& vr, __m256d& vi) const
    {
        vr = _mm256_set_pd(r[p3], r[p2], r[p1], r[p0]);
        vi = _mm256_set_pd(q[p3], q[p2], q[p1], q[p0]);
    }
};

// out = a + w * b on four complex values at once, the product written out as
// (wr*br - wi*bi) + i(wr*bi + wi*br).
NORVALE_AVX2_INLINE void butterfly(const __m256d& ar, const __m256d& ai, const __m256d& wr, const __m256d& wi,
                                   const __m256d& br, const __m256d& bi, __m256d& outR, __m256d& outI)
{
    const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(wr, br), _mm256_mul_pd(wi, bi));
    const __m256d ti = _mm256_add_pd(_mm256_mul_pd(wr, bi), _mm256_mul_pd(wi, br));
    outR = _mm256_add_pd(ar, tr);
    outI = _mm256_add_pd(ai, ti);
}

NORVALE_AVX2_INLINE void transpose(__m256d& c0, __m256d& c1, __m256d& c2, __m256d& c3)
{
    const __m256d t0 = _mm256_unpacklo_pd(c0, c1);
    const __m256d t1 = _mm256_unpackhi_pd(c0, c1);
    const __m256d t2 = _mm256_unpacklo_pd(c2, c3);
    const __m256d t3 = _mm256_unpackhi_pd(c2, c3);
    c0 = _mm256_permute2f128_pd(t0, t2, 0x20);
    c1 = _mm256_permute2f128_pd(t1, t3, 0x20);
    c2 = _mm256_permute2f128_pd(t0, t2, 0x31);
    c3 = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// Bit-reversed load and the first four stages, sixteen values at a time. Stages
// 1 and 2 work across four blocks of four (lane l holds block l), the transpose
// turns the lanes into natural order, and stages 3 and 4 work along the rows.
template <typename Source>
NORVALE_AVX2 void firstStages(const Source& src, uint32_t e, const TwiddleCache& tw, size_t qBegin, size_t qEnd,
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
    const __m256d a1r0 = _mm256_set1_pd(w1r[0]), a1i0 = _mm256_set1_pd(w1i[0]);
    const __m256d a1r1 = _mm256_set1_pd(w1r[1]), a1i1 = _mm256_set1_pd(w1i[1]);
    const __m256d a2r0 = _mm256_set1_pd(w2r[0]), a2i0 = _mm256_set1_pd(w2i[0]);
    const __m256d a2r1 = _mm256_set1_pd(w2r[1]), a2i1 = _mm256_set1_pd(w2i[1]);
    const __m256d a2r2 = _mm256_set1_pd(w2r[2]), a2i2 = _mm256_set1_pd(w2i[2]);
    const __m256d a2r3 = _mm256_set1_pd(w2r[3]), a2i3 = _mm256_set1_pd(w2i[3]);
    const __m256d w3ra = _mm256_loadu_pd(tw.re.data() + 6), w3ia = _mm256_loadu_pd(tw.im.data() + 6);
    const __m256d w3rb = _mm256_loadu_pd(tw.re.data() + 10), w3ib = _mm256_loadu_pd(tw.im.data() + 10);
    const __m256d w4r0 = _mm256_loadu_pd(tw.re.data() + 14), w4i0 = _mm256_loadu_pd(tw.im.data() + 14);
    const __m256d w4r1 = _mm256_loadu_pd(tw.re.data() + 18), w4i1 = _mm256_loadu_pd(tw.im.data() + 18);
    const __m256d w4r2 = _mm256_loadu_pd(tw.re.data() + 22), w4i2 = _mm256_loadu_pd(tw.im.data() + 22);
    const __m256d w4r3 = _mm256_loadu_pd(tw.re.data() + 26), w4i3 = _mm256_loadu_pd(tw.im.data() + 26);

    for (size_t q = qBegin; q < qEnd; ++q) {
        const size_t base = shift == 0 ? 0 : reverseLow(shift, uint32_t(q));
        __m256d vr[4], vi[4];
        for (int i = 0; i < 4; ++i) {
            src.load4(base + offset[i], base + offset[4 + i], base + offset[8 + i], base + offset[12 + i], vr[i], vi[i]);
        }
        __m256d br[4], bi[4];
        butterfly(vr[0], vi[0], a1r0, a1i0, vr[1], vi[1], br[0], bi[0]);
        butterfly(vr[0], vi[0], a1r1, a1i1, vr[1], vi[1], br[1], bi[1]);
        butterfly(vr[2], vi[2], a1r0, a1i0, vr[3], vi[3], br[2], bi[2]);
        butterfly(vr[2], vi[2], a1r1, a1i1, vr[3], vi[3], br[3], bi[3]);
        __m256d cr[4], ci[4];
        butterfly(br[0], bi[0], a2r0, a2i0, br[2], bi[2], cr[0], ci[0]);
        butterfly(br[1], bi[1], a2r1, a2i1, br[3], bi[3], cr[1], ci[1]);
        butterfly(br[0], bi[0], a2r2, a2i2, br[2], bi[2], cr[2], ci[2]);
        butterfly(br[1], bi[1], a2r3, a2i3, br[3], bi[3], cr[3], ci[3]);
        transpose(cr[0], cr[1], cr[2], cr[3]);
        transpose(ci[0], ci[1], ci[2], ci[3]);
        __m256d dr[4], di[4];
        butterfly(cr[0], ci[0], w3ra, w3ia, cr[1], ci[1], dr[0], di[0]);
        butterfly(cr[0], ci[0], w3rb, w3ib, cr[1], ci[1], dr[1], di[1]);
        butterfly(cr[2], ci[2], w3ra, w3ia, cr[3], ci[3], dr[2], di[2]);
        butterfly(cr[2], ci[2], w3rb, w3ib, cr[3], ci[3], dr[3], di[3]);
        __m256d er[4], ei[4];
        butterfly(dr[0], di[0], w4r0, w4i0, dr[2], di[2], er[0], ei[0]);
        butterfly(dr[1], di[1], w4r1, w4i1, dr[3], di[3], er[1], ei[1]);
        butterfly(dr[0], di[0], w4r2, w4i2, dr[2], di[2], er[2], ei[2]);
        butterfly(dr[1], di[1], w4r3, w4i3, dr[3], di[3], er[3], ei[3]);
        double* yr = outRe + 16 * q;
        double* yi = outIm + 16 * q;
        for (int k = 0; k < 4; ++k) {
            _mm256_storeu_pd(yr + 4 * k, er[k]);
            _mm256_storeu_pd(yi + 4 * k, ei[k]);
        }
    }
}

// Stages s and s + 1 in one sweep, in place: each step reads the four values
// at j, H + j, 2H + j, 3H + j of a span of 4H and writes them back.
NORVALE_AVX2 void stagePair(size_t n, size_t h, const double* t1r, const double* t1i, const double* t2r,
                            const double* t2i, double* re, double* im)
{
    for (size_t b = 0; b < n; b += 4 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (size_t j = 0; j < h; j += 4) {
            const __m256d x0r = _mm256_loadu_pd(r0 + j), x0i = _mm256_loadu_pd(i0 + j);
            const __m256d x1r = _mm256_loadu_pd(r0 + h + j), x1i = _mm256_loadu_pd(i0 + h + j);
            const __m256d x2r = _mm256_loadu_pd(r0 + 2 * h + j), x2i = _mm256_loadu_pd(i0 + 2 * h + j);
            const __m256d x3r = _mm256_loadu_pd(r0 + 3 * h + j), x3i = _mm256_loadu_pd(i0 + 3 * h + j);
            const __m256d sar = _mm256_loadu_pd(t1r + j), sai = _mm256_loadu_pd(t1i + j);
            const __m256d sbr = _mm256_loadu_pd(t1r + h + j), sbi = _mm256_loadu_pd(t1i + h + j);
            __m256d y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
            butterfly(x0r, x0i, sar, sai, x1r, x1i, y0r, y0i);
            butterfly(x0r, x0i, sbr, sbi, x1r, x1i, y1r, y1i);
            butterfly(x2r, x2i, sar, sai, x3r, x3i, y2r, y2i);
            butterfly(x2r, x2i, sbr, sbi, x3r, x3i, y3r, y3i);
            __m256d zr, zi;
            butterfly(y0r, y0i, _mm256_loadu_pd(t2r + j), _mm256_loadu_pd(t2i + j), y2r, y2i, zr, zi);
            _mm256_storeu_pd(r0 + j, zr);
            _mm256_storeu_pd(i0 + j, zi);
            butterfly(y1r, y1i, _mm256_loadu_pd(t2r + h + j), _mm256_loadu_pd(t2i + h + j), y3r, y3i, zr, zi);
            _mm256_storeu_pd(r0 + h + j, zr);
            _mm256_storeu_pd(i0 + h + j, zi);
            butterfly(y0r, y0i, _mm256_loadu_pd(t2r + 2 * h + j), _mm256_loadu_pd(t2i + 2 * h + j), y2r, y2i, zr, zi);
            _mm256_storeu_pd(r0 + 2 * h + j, zr);
            _mm256_storeu_pd(i0 + 2 * h + j, zi);
            butterfly(y1r, y1i, _mm256_loadu_pd(t2r + 3 * h + j), _mm256_loadu_pd(t2i + 3 * h + j), y3r, y3i, zr, zi);
            _mm256_storeu_pd(r0 + 3 * h + j, zr);
            _mm256_storeu_pd(i0 + 3 * h + j, zi);
        }
    }
}

// One stage in place, for a span of 2H with H >= 4.
NORVALE_AVX2 void stageSingle(size_t n, size_t h, const double* tr, const double* ti, double* re, double* im)
{
    for (size_t b = 0; b < n; b += 2 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (size_t j = 0; j < h; j += 4) {
            const __m256d x0r = _mm256_loadu_pd(r0 + j), x0i = _mm256_loadu_pd(i0 + j);
            const __m256d x1r = _mm256_loadu_pd(r0 + h + j), x1i = _mm256_loadu_pd(i0 + h + j);
            __m256d yr, yi;
            butterfly(x0r, x0i, _mm256_loadu_pd(tr + j), _mm256_loadu_pd(ti + j), x1r, x1i, yr, yi);
            _mm256_storeu_pd(r0 + j, yr);
            _mm256_storeu_pd(i0 + j, yi);
            butterfly(x0r, x0i, _mm256_loadu_pd(tr + h + j), _mm256_loadu_pd(ti + h + j), x1r, x1i, yr, yi);
            _mm256_storeu_pd(r0 + h + j, yr);
            _mm256_storeu_pd(i0 + h + j, yi);
        }
    }
}

NORVALE_AVX2 bool anyNan(size_t n, const double* re, const double* im)
{
    __m256d acc = _mm256_setzero_pd();
    for (size_t k = 0; k < n; k += 4)
        acc = _mm256_or_pd(acc, _mm256_cmp_pd(_mm256_loadu_pd(re + k), _mm256_loadu_pd(im + k), _CMP_UNORD_Q));
    return _mm256_movemask_pd(acc) != 0;
}

// Writes re/im to out as interleaved pairs; returns whether any value is NaN.
NORVALE_AVX2 bool interleave(size_t n, const double* re, const double* im, double* out)
{
    __m256d acc = _mm256_setzero_pd();
    for (size_t k = 0; k < n; k += 4) {
        const __m256d r = _mm256_loadu_pd(re + k);
        const __m256d i = _mm256_loadu_pd(im + k);
        acc = _mm256_or_pd(acc, _mm256_cmp_pd(r, i, _CMP_UNORD_Q));
        const __m256d lo = _mm256_unpacklo_pd(r, i);
        const __m256d hi = _mm256_unpackhi_pd(r, i);
        _mm256_storeu_pd(out + 2 * k, _mm256_permute2f128_pd(lo, hi, 0x20));
        _mm256_storeu_pd(out + 2 * k + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
    }
    return _mm256_movemask_pd(acc) != 0;
}

} // namespace

FftWork::FftWork(uint32_t exponent, bool simd)
    : e(exponent), simd(simd && simdAvailable())
{
    if (exponent > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    n = uint32_t(1) << e;
    inRe.assign(n, 0.0);
    inIm.assign(n, 0.0);
    outRe.assign(n, 0.0);
    outIm.assign(n, 0.0);
    if (e > cachedLevels) {
        const size_t total = (size_t(1) << (e + 1)) - (size_t(1) << (cachedLevels + 1));
        ownRe.resize(total);
        ownIm.resize(total);
        for (uint32_t s = cachedLevels + 1; s <= e; ++s) {
            const size_t at = (size_t(1) << s) - (size_t(1) << (cachedLevels + 1));
            fillTwiddles(s, ownRe.data() + at, ownIm.data() + at);
        }
    }
}

bool FftWork::simdAvailable()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

const double* FftWork::twiddleRe(uint32_t level) const
{
    if (level <= cachedLevels)
        return twiddleCache().re.data() + (size_t(1) << level) - 2;
    return ownRe.data() + (size_t(1) << level) - (size_t(1) << (cachedLevels + 1));
}

const double* FftWork::twiddleIm(uint32_t level) const
{
    if (level <= cachedLevels)
        return twiddleCache().im.data() + (size_t(1) << level) - 2;
    return ownIm.data() + (size_t(1) << level) - (size_t(1) << (cachedLevels + 1));
}

void FftWork::transformInput()
{
    run(SplitSource{inRe.data(), inIm.data()});
}

void FftWork::transform(const std::complex<double>* in)
{
    run(ComplexSource{reinterpret_cast<const double*>(in)});
}

void FftWork::transform(const std::complex<double>* in, std::complex<double>* out)
{
    if (!simd || e < 4 || in == out) {
        transform(in);
        store(out);
        return;
    }
    // Input and output apart: the NaN check rides along with the store, and
    // the rare redo can still read the untouched input.
    const ComplexSource source{reinterpret_cast<const double*>(in)};
    runStages(source);
    if (interleave(n, outRe.data(), outIm.data(), reinterpret_cast<double*>(out))) {
        runPortable(source);
        store(out);
    }
}

void FftWork::store(std::complex<double>* out) const
{
    double* o = reinterpret_cast<double*>(out);
    if (simd && n >= 4) {
        interleave(n, outRe.data(), outIm.data(), o);
        return;
    }
    for (size_t k = 0; k < n; ++k) {
        o[2 * k] = outRe[k];
        o[2 * k + 1] = outIm[k];
    }
}

template <typename Source>
void FftWork::run(const Source& source)
{
    if (!simd || e < 4) {
        runPortable(source);
        return;
    }
    runStages(source);
    if (anyNan(n, outRe.data(), outIm.data()))
        runPortable(source);
}

template <typename Source>
void FftWork::runStages(const Source& source)
{
    // Stages up to blockLevels run block by block while a block is in the
    // first-level cache; the later ones sweep the whole array.
    constexpr uint32_t blockLevels = 10;
    const uint32_t local = std::min(e, blockLevels);
    const size_t blockSize = size_t(1) << local;
    uint32_t s = 5;
    for (size_t block = 0; block < n; block += blockSize) {
        firstStages(source, e, twiddleCache(), block / 16, (block + blockSize) / 16, outRe.data(), outIm.data());
        for (s = 5; s + 1 <= local; s += 2) {
            stagePair(blockSize, size_t(1) << (s - 1), twiddleRe(s), twiddleIm(s), twiddleRe(s + 1), twiddleIm(s + 1),
                      outRe.data() + block, outIm.data() + block);
        }
    }
    for (; s + 1 <= e; s += 2) {
        const size_t h = size_t(1) << (s - 1);
        stagePair(n, h, twiddleRe(s), twiddleIm(s), twiddleRe(s + 1), twiddleIm(s + 1), outRe.data(), outIm.data());
    }
    if (s == e)
        stageSingle(n, size_t(1) << (s - 1), twiddleRe(s), twiddleIm(s), outRe.data(), outIm.data());
}

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
        outRe[i] = a[i].real();
        outIm[i] = a[i].imag();
    }
}
