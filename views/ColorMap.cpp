// Colour scale of the spectrogram.

#include "views/ColorMap.h"

#include "plotdata/PlotMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NORVALE_HAVE_X86 1
#endif

namespace {

struct Stop
{
    int red;
    int green;
    int blue;
};

// Each map's colours at positions 0, 0.25, 0.5, 0.75 and 1: viridis, inferno
// and magma as matplotlib samples them there, and a grey ramp.
constexpr Stop mapStops[4][5] = {
    {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}},
    {{0, 0, 4}, {87, 16, 110}, {188, 55, 84}, {249, 142, 9}, {252, 255, 164}},
    {{0, 0, 4}, {81, 18, 124}, {183, 55, 121}, {252, 137, 97}, {252, 253, 191}},
    {{0, 0, 0}, {64, 64, 64}, {128, 128, 128}, {191, 191, 191}, {255, 255, 255}},
};

const Stop (&stopsOf(ColorMapKind kind))[5]
{
    return mapStops[static_cast<int>(kind)];
}

} // namespace

QRgb mapColorRgb(double v, double low, double high)
{
    return mapColorRgb(v, low, high, ColorMapKind::Viridis);
}

QRgb mapColorRgb(double v, double low, double high, ColorMapKind kind)
{
    const Stop(&stops)[5] = stopsOf(kind);
    const double t = (v - low) / (high - low);
    double d = std::min(1.0, t); // NaN gives 1.0
    d = std::max(0.0, d);
    // The segment whose stops enclose d. At a stop shared by two segments both
    // give that stop's colour exactly, so the upper one may be taken.
    const int i = std::min(3, static_cast<int>(d * 4.0));
    const double f = (d - i * 0.25) / 0.25;
    const Stop& a = stops[i];
    const Stop& b = stops[i + 1];
    const int red = static_cast<int>((b.red - a.red) * f + a.red);
    const int green = static_cast<int>((b.green - a.green) * f + a.green);
    const int blue = static_cast<int>((b.blue - a.blue) * f + a.blue);
    return qRgb(red, green, blue);
}

namespace {

void colorizeScalar(const double* values, size_t n, double low, double high, ColorMapKind kind,
                    QRgb* out)
{
    for (size_t k = 0; k < n; ++k)
        out[k] = mapColorRgb(values[k], low, high, kind);
}

#ifdef NORVALE_HAVE_X86
// Per channel, the stop at the start of each segment and the segment's rise.
struct ChannelTable
{
    double base[4];
    double span[4];
};

ChannelTable channelTable(const Stop (&stops)[5], int Stop::*channel)
{
    ChannelTable t{};
    for (int i = 0; i < 4; ++i) {
        t.base[i] = stops[i].*channel;
        t.span[i] = stops[i + 1].*channel - stops[i].*channel;
    }
    return t;
}

// table[i] for each lane, given 32-bit lane indices (2i, 2i + 1) of the 64-bit entries.
__attribute__((target("avx2"), always_inline)) inline __m256d lookup(const double (&table)[4],
                                                                     const __m256i& pairIndex)
{
    const __m256i entries = _mm256_castpd_si256(_mm256_loadu_pd(table));
    return _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(entries, pairIndex));
}

// trunc((b - a) * f + a) for four values, a and b the stops of their segments.
__attribute__((target("avx2"), always_inline)) inline __m128i channel(const ChannelTable& table,
                                                                      const __m256d& f,
                                                                      const __m256i& pairIndex)
{
    const __m256d base = lookup(table.base, pairIndex);
    const __m256d span = lookup(table.span, pairIndex);
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(span, f), base));
}

__attribute__((target("avx2"))) void colorizeAvx2(const double* values, size_t n, double low,
                                                  double high, ColorMapKind kind, QRgb* out)
{
    const ChannelTable redTable = channelTable(stopsOf(kind), &Stop::red);
    const ChannelTable greenTable = channelTable(stopsOf(kind), &Stop::green);
    const ChannelTable blueTable = channelTable(stopsOf(kind), &Stop::blue);
    const __m256d vLow = _mm256_set1_pd(low);
    const __m256d vSpan = _mm256_set1_pd(high - low);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d four = _mm256_set1_pd(4.0);
    const __m256d three = _mm256_set1_pd(3.0);
    const __m256d quarter = _mm256_set1_pd(0.25);
    const __m256i oddHalves = _mm256_set1_epi64x(0x0000000100000000ll);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d t = _mm256_div_pd(_mm256_sub_pd(_mm256_loadu_pd(values + k), vLow), vSpan);
        // min(1.0, t) with NaN giving 1.0, then max(0.0, d): as std::min and std::max.
        __m256d d = _mm256_min_pd(t, one);
        d = _mm256_max_pd(d, zero);
        const __m256d i = _mm256_min_pd(_mm256_round_pd(_mm256_mul_pd(d, four), _MM_FROUND_TO_ZERO), three);
        // (d - i / 4) / 0.25; dividing by a power of two is multiplying by its inverse.
        const __m256d f = _mm256_mul_pd(_mm256_sub_pd(d, _mm256_mul_pd(i, quarter)), four);
        const __m256i twice = _mm256_slli_epi64(_mm256_cvtepu32_epi64(_mm256_cvttpd_epi32(i)), 1);
        const __m256i pairIndex =
            _mm256_or_si256(_mm256_or_si256(twice, _mm256_slli_epi64(twice, 32)), oddHalves);
        const __m128i r = channel(redTable, f, pairIndex);
        const __m128i g = channel(greenTable, f, pairIndex);
        const __m128i b = channel(blueTable, f, pairIndex);
        const __m128i rgb = _mm_or_si128(_mm_or_si128(alpha, _mm_slli_epi32(r, 16)),
                                         _mm_or_si128(_mm_slli_epi32(g, 8), b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), rgb);
    }
    colorizeScalar(values + k, n - k, low, high, kind, out + k);
}
#endif

} // namespace

void colorizeRange(const double* values, size_t n, double low, double high, QRgb* out,
                   ColorMapKind kind)
{
#ifdef NORVALE_HAVE_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        colorizeAvx2(values, n, low, high, kind, out);
        return;
    }
#endif
    colorizeScalar(values, n, low, high, kind, out);
}

int scaleBottom(int top, double rangeDb)
{
    const double bottom = static_cast<double>(top) - rangeDb;
    if (std::isnan(bottom))
        return truncToInt(static_cast<double>(top) - 40.0);
    return truncToInt(bottom);
}

QString colorBarLabel(double matrixValue, double correctionDb)
{
    const double density = matrixValue + (std::isfinite(correctionDb) ? correctionDb : 0.0);
    return QString::number(density, 'f', 1) + QStringLiteral(" dB/Hz");
}
