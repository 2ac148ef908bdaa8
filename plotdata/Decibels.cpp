// 10 * log10 by exponent split and an atanh series, scalar and AVX2 with the
// same operations in the same order.

#include "plotdata/Decibels.h"

#include "plotdata/PlotMath.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALE_HAVE_X86 1
#endif

namespace {

constexpr double sqrt2 = 1.4142135623730951;
// ln 2 split so that e * ln2High is exact for every double exponent.
constexpr double ln2High = 6.93147180369123816490e-01;
constexpr double ln2Low = 1.90821492927058770002e-10;
constexpr double tenOverLn10 = 4.3429448190325182765;
// ln m = 2 s (1 + z/3 + z^2/5 + ...), s = (m - 1) / (m + 1), z = s^2 <= 0.0295 for
// m in [sqrt(1/2), sqrt(2)): seven terms leave z^7/15 < 1.3e-12 of ln m, at most
// 2e-12 dB.
constexpr int terms = 7;
constexpr double c[terms] = {1.0, 1.0 / 3, 1.0 / 5, 1.0 / 7, 1.0 / 9, 1.0 / 11, 1.0 / 13};

bool seriesApplies(double x)
{
    return x >= DBL_MIN && x <= DBL_MAX;
}

double seriesDecibels(double x)
{
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    double e = static_cast<double>(static_cast<int>(bits >> 52)) - 1023.0;
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (m > sqrt2) {
        m = m * 0.5;
        e = e + 1.0;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double z = s * s;
    double p = c[terms - 1];
    for (int k = terms - 2; k >= 0; --k)
        p = p * z + c[k];
    const double lnm = (s + s) * p;
    const double ln = e * ln2High + (e * ln2Low + lnm);
    return ln * tenOverLn10;
}

void scalarRange(double* values, size_t n, double factor)
{
    for (size_t k = 0; k < n; ++k)
        values[k] = decibels(values[k] * factor + powerFloor);
}

#ifdef NORVALE_HAVE_X86
__attribute__((target("avx2"))) void avx2Range(double* values, size_t n, double factor)
{
    const __m256d vFactor = _mm256_set1_pd(factor);
    const __m256d vFloor = _mm256_set1_pd(powerFloor);
    const __m256d vMin = _mm256_set1_pd(DBL_MIN);
    const __m256d vMax = _mm256_set1_pd(DBL_MAX);
    const __m256i mantissaMask = _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll);
    const __m256i oneBits = _mm256_set1_epi64x(0x3FF0000000000000ll);
    // 2^52 + biased exponent, read as a double, minus 2^52 + 1023: the exponent.
    const __m256i magicBits = _mm256_set1_epi64x(0x4330000000000000ll);
    const __m256d magicBias = _mm256_set1_pd(4503599627370496.0 + 1023.0);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d vSqrt2 = _mm256_set1_pd(sqrt2);
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d x = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(values + k), vFactor), vFloor);
        const __m256d valid = _mm256_and_pd(_mm256_cmp_pd(x, vMin, _CMP_GE_OQ),
                                            _mm256_cmp_pd(x, vMax, _CMP_LE_OQ));
        if (_mm256_movemask_pd(valid) != 0xF) {
            for (int lane = 0; lane < 4; ++lane)
                values[k + lane] = decibels(values[k + lane] * factor + powerFloor);
            continue;
        }
        const __m256i bits = _mm256_castpd_si256(x);
        __m256d e = _mm256_sub_pd(
            _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52), magicBits)), magicBias);
        __m256d m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, mantissaMask), oneBits));
        const __m256d above = _mm256_cmp_pd(m, vSqrt2, _CMP_GT_OQ);
        m = _mm256_blendv_pd(m, _mm256_mul_pd(m, half), above);
        e = _mm256_blendv_pd(e, _mm256_add_pd(e, one), above);
        const __m256d s = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
        const __m256d z = _mm256_mul_pd(s, s);
        __m256d p = _mm256_set1_pd(c[terms - 1]);
        for (int j = terms - 2; j >= 0; --j)
            p = _mm256_add_pd(_mm256_mul_pd(p, z), _mm256_set1_pd(c[j]));
        const __m256d lnm = _mm256_mul_pd(_mm256_add_pd(s, s), p);
        const __m256d ln = _mm256_add_pd(_mm256_mul_pd(e, _mm256_set1_pd(ln2High)),
                                         _mm256_add_pd(_mm256_mul_pd(e, _mm256_set1_pd(ln2Low)), lnm));
        _mm256_storeu_pd(values + k, _mm256_mul_pd(ln, _mm256_set1_pd(tenOverLn10)));
    }
    scalarRange(values + k, n - k, factor);
}
#endif

} // namespace

double decibels(double x)
{
    if (!seriesApplies(x))
        return 10 * std::log10(x);
    return seriesDecibels(x);
}

void decibelsInPlace(double* values, size_t n, double factor)
{
#ifdef NORVALE_HAVE_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        avx2Range(values, n, factor);
        return;
    }
#endif
    scalarRange(values, n, factor);
}
