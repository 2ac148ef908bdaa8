#pragma once
// Four doubles handled as one value by the FFT kernels: an AVX2 register on
// x86 (used only where the processor has AVX2, see vec4Supported), two NEON
// registers on little-endian aarch64. NORVALE_VEC4 is 0 on other processors,
// which take the portable path.
//
// Every lane operation is one IEEE operation (no fused multiply-add), so a
// kernel written with Vec4 rounds exactly as the same scalar expressions do.
// Functions that use Vec4 carry NORVALE_VEC4_TARGET.

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALE_VEC4 1
#define NORVALE_VEC4_TARGET __attribute__((target("avx2")))
#elif defined(__aarch64__) && defined(__ARM_NEON) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#include <arm_neon.h>
#define NORVALE_VEC4 1
#define NORVALE_VEC4_TARGET
#else
#define NORVALE_VEC4 0
#endif

// Whether this processor runs Vec4 code: AVX2 on x86, always on aarch64.
inline bool vec4Supported()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return NORVALE_VEC4 != 0;
#endif
}

#if NORVALE_VEC4

#define NORVALE_VEC4_INLINE NORVALE_VEC4_TARGET __attribute__((always_inline)) inline

#if defined(__x86_64__) || defined(__i386__)

struct Vec4
{
    __m256d v;

    NORVALE_VEC4_INLINE static Vec4 load(const double* p) { return {_mm256_loadu_pd(p)}; }
    // Lanes 0 ... 3 = p[3], p[2], p[1], p[0].
    NORVALE_VEC4_INLINE static Vec4 loadReversed(const double* p) { return {_mm256_permute4x64_pd(_mm256_loadu_pd(p), 0x1B)}; }
    NORVALE_VEC4_INLINE void store(double* p) const { _mm256_storeu_pd(p, v); }
    NORVALE_VEC4_INLINE static Vec4 broadcast(double x) { return {_mm256_set1_pd(x)}; }
    // Lanes 0 ... 3 = a, b, c, d.
    NORVALE_VEC4_INLINE static Vec4 lanes(double a, double b, double c, double d) { return {_mm256_set_pd(d, c, b, a)}; }

    // The complex values at positions p0 ... p3 of interleaved (re, im) pairs,
    // split into their real and imaginary parts.
    NORVALE_VEC4_INLINE static void loadComplex(const double* p, size_t p0, size_t p1, size_t p2, size_t p3, Vec4& re,
                                                Vec4& im)
    {
        const __m256d a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + 2 * p0)), _mm_loadu_pd(p + 2 * p2), 1);
        const __m256d b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p + 2 * p1)), _mm_loadu_pd(p + 2 * p3), 1);
        re.v = _mm256_unpacklo_pd(a, b);
        im.v = _mm256_unpackhi_pd(a, b);
    }

    // The four complex values at p, lanes holding values 0, 2, 1 and 3: one
    // unpack per part instead of the shuffles that natural order needs.
    NORVALE_VEC4_INLINE static void loadComplexCrossed(const double* p, Vec4& re, Vec4& im)
    {
        const __m256d a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + 4);
        re.v = _mm256_unpacklo_pd(a, b);
        im.v = _mm256_unpackhi_pd(a, b);
    }

    // Writes re0, im0, re1, im1, ... re3, im3 to out.
    NORVALE_VEC4_INLINE static void storeComplex(double* out, const Vec4& re, const Vec4& im)
    {
        const __m256d lo = _mm256_unpacklo_pd(re.v, im.v);
        const __m256d hi = _mm256_unpackhi_pd(re.v, im.v);
        _mm256_storeu_pd(out, _mm256_permute2f128_pd(lo, hi, 0x20));
        _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
    }

    // Rows c0 ... c3 become columns.
    NORVALE_VEC4_INLINE static void transpose(Vec4& c0, Vec4& c1, Vec4& c2, Vec4& c3)
    {
        const __m256d t0 = _mm256_unpacklo_pd(c0.v, c1.v);
        const __m256d t1 = _mm256_unpackhi_pd(c0.v, c1.v);
        const __m256d t2 = _mm256_unpacklo_pd(c2.v, c3.v);
        const __m256d t3 = _mm256_unpackhi_pd(c2.v, c3.v);
        c0.v = _mm256_permute2f128_pd(t0, t2, 0x20);
        c1.v = _mm256_permute2f128_pd(t1, t3, 0x20);
        c2.v = _mm256_permute2f128_pd(t0, t2, 0x31);
        c3.v = _mm256_permute2f128_pd(t1, t3, 0x31);
    }

    // Lane masks: all bits set where neither a nor b is NaN.
    NORVALE_VEC4_INLINE static Vec4 ordered(const Vec4& a, const Vec4& b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_ORD_Q)}; }
    NORVALE_VEC4_INLINE static Vec4 allSet() { return {_mm256_castsi256_pd(_mm256_set1_epi64x(-1))}; }
    NORVALE_VEC4_INLINE static Vec4 bitAnd(const Vec4& a, const Vec4& b) { return {_mm256_and_pd(a.v, b.v)}; }
    // Whether every lane of a mask is set.
    NORVALE_VEC4_INLINE static bool all(const Vec4& mask) { return _mm256_movemask_pd(mask.v) == 0xf; }
    // Bit l set where lane l of a mask is set.
    NORVALE_VEC4_INLINE static unsigned laneBits(const Vec4& mask) { return unsigned(_mm256_movemask_pd(mask.v)); }
};

NORVALE_VEC4_INLINE Vec4 operator+(const Vec4& a, const Vec4& b) { return {_mm256_add_pd(a.v, b.v)}; }
NORVALE_VEC4_INLINE Vec4 operator-(const Vec4& a, const Vec4& b) { return {_mm256_sub_pd(a.v, b.v)}; }
NORVALE_VEC4_INLINE Vec4 operator*(const Vec4& a, const Vec4& b) { return {_mm256_mul_pd(a.v, b.v)}; }

#else // aarch64

struct Vec4
{
    float64x2_t lo, hi;

    NORVALE_VEC4_INLINE static Vec4 load(const double* p) { return {vld1q_f64(p), vld1q_f64(p + 2)}; }
    NORVALE_VEC4_INLINE static Vec4 loadReversed(const double* p)
    {
        const float64x2_t lo = vld1q_f64(p), hi = vld1q_f64(p + 2);
        return {vextq_f64(hi, hi, 1), vextq_f64(lo, lo, 1)};
    }
    NORVALE_VEC4_INLINE void store(double* p) const
    {
        vst1q_f64(p, lo);
        vst1q_f64(p + 2, hi);
    }
    NORVALE_VEC4_INLINE static Vec4 broadcast(double x) { return {vdupq_n_f64(x), vdupq_n_f64(x)}; }
    NORVALE_VEC4_INLINE static Vec4 lanes(double a, double b, double c, double d)
    {
        return {vcombine_f64(vdup_n_f64(a), vdup_n_f64(b)), vcombine_f64(vdup_n_f64(c), vdup_n_f64(d))};
    }

    NORVALE_VEC4_INLINE static void loadComplex(const double* p, size_t p0, size_t p1, size_t p2, size_t p3, Vec4& re,
                                                Vec4& im)
    {
        const float64x2_t c0 = vld1q_f64(p + 2 * p0), c1 = vld1q_f64(p + 2 * p1);
        const float64x2_t c2 = vld1q_f64(p + 2 * p2), c3 = vld1q_f64(p + 2 * p3);
        re = {vzip1q_f64(c0, c1), vzip1q_f64(c2, c3)};
        im = {vzip2q_f64(c0, c1), vzip2q_f64(c2, c3)};
    }

    NORVALE_VEC4_INLINE static void loadComplexCrossed(const double* p, Vec4& re, Vec4& im)
    {
        const float64x2x2_t c01 = vld2q_f64(p), c23 = vld2q_f64(p + 4);
        re = {vzip1q_f64(c01.val[0], c23.val[0]), vzip2q_f64(c01.val[0], c23.val[0])};
        im = {vzip1q_f64(c01.val[1], c23.val[1]), vzip2q_f64(c01.val[1], c23.val[1])};
    }

    NORVALE_VEC4_INLINE static void storeComplex(double* out, const Vec4& re, const Vec4& im)
    {
        vst2q_f64(out, (float64x2x2_t{{re.lo, im.lo}}));
        vst2q_f64(out + 4, (float64x2x2_t{{re.hi, im.hi}}));
    }

    NORVALE_VEC4_INLINE static void transpose(Vec4& c0, Vec4& c1, Vec4& c2, Vec4& c3)
    {
        const Vec4 r0 = {vzip1q_f64(c0.lo, c1.lo), vzip1q_f64(c2.lo, c3.lo)};
        const Vec4 r1 = {vzip2q_f64(c0.lo, c1.lo), vzip2q_f64(c2.lo, c3.lo)};
        const Vec4 r2 = {vzip1q_f64(c0.hi, c1.hi), vzip1q_f64(c2.hi, c3.hi)};
        const Vec4 r3 = {vzip2q_f64(c0.hi, c1.hi), vzip2q_f64(c2.hi, c3.hi)};
        c0 = r0;
        c1 = r1;
        c2 = r2;
        c3 = r3;
    }

    NORVALE_VEC4_INLINE static Vec4 ordered(const Vec4& a, const Vec4& b)
    {
        const uint64x2_t lo = vandq_u64(vceqq_f64(a.lo, a.lo), vceqq_f64(b.lo, b.lo));
        const uint64x2_t hi = vandq_u64(vceqq_f64(a.hi, a.hi), vceqq_f64(b.hi, b.hi));
        return {vreinterpretq_f64_u64(lo), vreinterpretq_f64_u64(hi)};
    }
    NORVALE_VEC4_INLINE static Vec4 allSet()
    {
        const float64x2_t ones = vreinterpretq_f64_u64(vdupq_n_u64(~uint64_t(0)));
        return {ones, ones};
    }
    NORVALE_VEC4_INLINE static Vec4 bitAnd(const Vec4& a, const Vec4& b)
    {
        return {vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(a.lo), vreinterpretq_u64_f64(b.lo))),
                vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(a.hi), vreinterpretq_u64_f64(b.hi)))};
    }
    NORVALE_VEC4_INLINE static bool all(const Vec4& mask)
    {
        const uint64x2_t both = vandq_u64(vreinterpretq_u64_f64(mask.lo), vreinterpretq_u64_f64(mask.hi));
        return (vgetq_lane_u64(both, 0) & vgetq_lane_u64(both, 1)) == ~uint64_t(0);
    }
    NORVALE_VEC4_INLINE static unsigned laneBits(const Vec4& mask)
    {
        const uint64x2_t lo = vreinterpretq_u64_f64(mask.lo), hi = vreinterpretq_u64_f64(mask.hi);
        return unsigned(vgetq_lane_u64(lo, 0) >> 63) | unsigned(vgetq_lane_u64(lo, 1) >> 63) << 1 |
               unsigned(vgetq_lane_u64(hi, 0) >> 63) << 2 | unsigned(vgetq_lane_u64(hi, 1) >> 63) << 3;
    }
};

NORVALE_VEC4_INLINE Vec4 operator+(const Vec4& a, const Vec4& b) { return {vaddq_f64(a.lo, b.lo), vaddq_f64(a.hi, b.hi)}; }
NORVALE_VEC4_INLINE Vec4 operator-(const Vec4& a, const Vec4& b) { return {vsubq_f64(a.lo, b.lo), vsubq_f64(a.hi, b.hi)}; }
NORVALE_VEC4_INLINE Vec4 operator*(const Vec4& a, const Vec4& b) { return {vmulq_f64(a.lo, b.lo), vmulq_f64(a.hi, b.hi)}; }

#endif
#endif // NORVALE_VEC4
