// Complex magnitudes, the same bits on every path.

#include "dsp/Magnitude.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

// std::abs of a complex double is the C library's hypot. On the C library this
// is built with (GNU, 2.35 and later, without fused multiply-add), hypot of
// finite values of moderate size orders them (ax >= ay), returns ax + ay when
// ay <= ax * 2^-54, and otherwise takes h = sqrt(ax^2 + ay^2) and one
// correction step h -= (t1 + t2) / (2h) built from the rounding error of the
// squares (Borges, "An Improved Algorithm for hypot(a, b)", 2019). The vector
// path does that arithmetic four lanes at a time for parts between 2^-300 and
// 2^300, well inside the range where the library rescales, gives |x| for
// hypot(x, 0) as the C standard requires, and hands every other lane
// (non-finite, very large or very small) to std::abs itself. Because another C
// library could round differently, the vector path is only used after it has
// reproduced std::abs on a set of probe values. The path is x86 only: on
// aarch64 the C library's hypot uses fused multiply-adds, which a non-fused
// vector path cannot reproduce, so there std::abs does every value.

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALE_FAST_MAGNITUDES 1
#endif

namespace {


constexpr double largeValue = 0x1p+300;
constexpr double tinyValue = 0x1p-300;
constexpr double wideRatio = 0x1p-54;

double libraryMagnitude(double re, double im)
{
    return std::abs(std::complex<double>(re, im));
}

#ifdef NORVALE_FAST_MAGNITUDES

#define NORVALE_AVX2 __attribute__((target("avx2")))

NORVALE_AVX2 void vectorMagnitudes(const double* re, const double* im, size_t count, double* out)
{
    const __m256d signMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    const __m256d large = _mm256_set1_pd(largeValue);
    const __m256d tiny = _mm256_set1_pd(tinyValue);
    const __m256d wide = _mm256_set1_pd(wideRatio);
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d four = _mm256_set1_pd(4.0);
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d x = _mm256_and_pd(_mm256_loadu_pd(re + k), signMask);
        const __m256d y = _mm256_and_pd(_mm256_loadu_pd(im + k), signMask);
        const __m256d lessXY = _mm256_cmp_pd(x, y, _CMP_LT_OQ);
        const __m256d ax = _mm256_blendv_pd(x, y, lessXY); // x < y ? y : x
        const __m256d ay = _mm256_blendv_pd(y, x, lessXY); // x < y ? x : y
        const __m256d sum = _mm256_add_pd(ax, ay);

        // Lanes of moderate size (false for NaN and infinities).
        const __m256d moderate = _mm256_and_pd(_mm256_cmp_pd(ax, large, _CMP_LE_OQ), _mm256_cmp_pd(ay, tiny, _CMP_GE_OQ));
        const __m256d wideModerate = _mm256_cmp_pd(ay, _mm256_mul_pd(ax, wide), _CMP_LE_OQ);
        // hypot(x, 0) = |x|.
        const __m256d zeroPart = _mm256_cmp_pd(ay, _mm256_setzero_pd(), _CMP_EQ_OQ);

        __m256d h = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(ax, ax), _mm256_mul_pd(ay, ay)));
        const __m256d nearEqual = _mm256_cmp_pd(h, _mm256_mul_pd(two, ay), _CMP_LE_OQ);
        // h <= 2 ay: delta = h - ay, t1 = ax (2 delta - ax), t2 = (delta - 2 (ax - ay)) delta.
        const __m256d dA = _mm256_sub_pd(h, ay);
        const __m256d t1A = _mm256_mul_pd(ax, _mm256_sub_pd(_mm256_mul_pd(two, dA), ax));
        const __m256d t2A = _mm256_mul_pd(_mm256_sub_pd(dA, _mm256_mul_pd(two, _mm256_sub_pd(ax, ay))), dA);
        // Otherwise: delta = h - ax, t1 = 2 delta (ax - 2 ay), t2 = (4 delta - ay) ay + delta^2.
        const __m256d dB = _mm256_sub_pd(h, ax);
        const __m256d t1B = _mm256_mul_pd(_mm256_mul_pd(two, dB), _mm256_sub_pd(ax, _mm256_mul_pd(two, ay)));
        const __m256d t2B = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(four, dB), ay), ay),
                                          _mm256_mul_pd(dB, dB));
        const __m256d t1 = _mm256_blendv_pd(t1B, t1A, nearEqual);
        const __m256d t2 = _mm256_blendv_pd(t2B, t2A, nearEqual);
        h = _mm256_sub_pd(h, _mm256_div_pd(_mm256_add_pd(t1, t2), _mm256_mul_pd(two, h)));

        __m256d result = _mm256_blendv_pd(h, sum, wideModerate);
        result = _mm256_blendv_pd(result, ax, zeroPart);
        _mm256_storeu_pd(out + k, result);
        const int handled = _mm256_movemask_pd(_mm256_or_pd(moderate, zeroPart));
        if (handled != 0xf) {
            for (int l = 0; l < 4; ++l) {
                if (!(handled & (1 << l)))
                    out[k + l] = libraryMagnitude(re[k + l], im[k + l]);
            }
        }
    }
    for (; k < count; ++k)
        out[k] = libraryMagnitude(re[k], im[k]);
}

// Probe values: every exponent range the vector path distinguishes, ratios
// near 1, 2 and the 2^-54 cut, zeros, signs, infinities and NaN.
bool vectorPathAgrees()
{
    std::vector<double> re, im;
    uint64_t state = 0x9e3779b97f4a7c15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    auto mantissa = [&next] { return 1.0 + double(next() >> 11) * 0x1p-53; };
    const double ratios[] = {1.0, 0.999999, 0.5, 0.50000001, 0.4999999, 0.75, 0.1, 1e-8, 0x1p-54, 0x1.0000001p-54,
                             0x1.fffffffp-55, 1e-17, 0.0};
    for (int i = 0; i < 6000; ++i) {
        const int exponent = int(next() % 2200) - 1100;
        const double a = std::ldexp(mantissa(), exponent) * ((next() & 1) ? -1.0 : 1.0);
        const double ratio = (i % 3 == 0) ? ratios[next() % (sizeof ratios / sizeof ratios[0])] * mantissa()
                                          : std::ldexp(mantissa(), -int(next() % 70));
        const double b = a * ratio * ((next() & 1) ? -1.0 : 1.0);
        re.push_back(i % 2 ? a : b);
        im.push_back(i % 2 ? b : a);
    }
    const double specials[] = {0.0,       -0.0,      INFINITY,  -INFINITY, NAN,     0x1p-1074, 0x1p-1022,
                               0x1p+300,  0x1p+301,  0x1p-300,  0x1p-301,  1e308,   1.0,       -3.0};
    for (double a : specials) {
        for (double b : specials) {
            re.push_back(a);
            im.push_back(b);
        }
    }
    std::vector<double> fast(re.size());
    vectorMagnitudes(re.data(), im.data(), re.size(), fast.data());
    for (size_t k = 0; k < re.size(); ++k) {
        const double expected = libraryMagnitude(re[k], im[k]);
        if (std::isnan(expected) ? !std::isnan(fast[k]) : std::memcmp(&expected, &fast[k], sizeof expected) != 0)
            return false;
    }
    return true;
}

#endif // NORVALE_FAST_MAGNITUDES

} // namespace

bool fastMagnitudesEnabled()
{
#ifdef NORVALE_FAST_MAGNITUDES
    static const bool enabled = __builtin_cpu_supports("avx2") && vectorPathAgrees();
    return enabled;
#else
    return false;
#endif
}

void magnitudes(const double* re, const double* im, size_t count, double* out)
{
#ifdef NORVALE_FAST_MAGNITUDES
    if (fastMagnitudesEnabled()) {
        vectorMagnitudes(re, im, count, out);
        return;
    }
#endif
    for (size_t k = 0; k < count; ++k)
        out[k] = libraryMagnitude(re[k], im[k]);
}
