// FFT: bit identity with the literal radix-2 recursion, agreement with the DFT
// definition, and the small cases whose numbers are known.

#include "dsp/Fft.h"
#include "dsp/FftWork.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using Complex = std::complex<double>;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

std::vector<Complex> literalFft(uint32_t e, const std::vector<Complex>& in)
{
    std::vector<Complex> out(in.size());
    literal::fft(e, in.data(), out.data());
    return out;
}

std::vector<Complex> ourFft(uint32_t e, const std::vector<Complex>& in)
{
    std::vector<Complex> out(in.size(), Complex(12345.0, -1.0));
    fft(e, in.data(), out.data());
    return out;
}

// Input families for the bit-identity tests.
std::vector<Complex> makeInput(int kind, uint32_t e)
{
    const size_t n = size_t(1) << e;
    switch (kind) {
    case 0: // finite random values
        return randomComplex(n, 11 + e);
    case 1: // random values sprinkled with infinities and NaN
        return randomComplex(n, 101 + e, true);
    case 2: { // one infinity in an otherwise finite block
        std::vector<Complex> v = randomComplex(n, 211 + e);
        v[n / 3] = Complex(inf, 0.0);
        return v;
    }
    case 3: { // infinities of both signs in both parts, no NaN
        std::vector<Complex> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = Complex(i % 3 == 0 ? inf : -0.0, i % 5 == 1 ? -inf : 0.0);
        return v;
    }
    default: { // signed zeros and one NaN
        std::vector<Complex> v(n, Complex(-0.0, 0.0));
        v[n - 1] = Complex(0.0, nan);
        return v;
    }
    }
}

} // namespace

TEST(ReverseBits, Examples)
{
    struct Row { uint32_t bits, value, expected; };
    const Row rows[] = {
        {3, 1, 4},   {3, 6, 3},    {3, 0xff, 7},          {0, 5, 0},
        {1, 1, 1},   {4, 1, 8},    {32, 1, 0x80000000u},  {32, 0x80000000u, 1},
        {33, 2, 0x80000000u},      {64, 0xffffffffu, 0},  {15, 0x4001, 0x4001},
    };
    for (const Row& row : rows)
        EXPECT_EQ(reverseBits(row.bits, row.value), row.expected) << row.bits << ", " << row.value;
}

TEST(ReverseBits, MatchesLiteralForAllWidths)
{
    std::mt19937 rng(5);
    for (uint32_t bits = 0; bits <= 40; ++bits) {
        for (int i = 0; i < 200; ++i) {
            const uint32_t value = rng();
            ASSERT_EQ(reverseBits(bits, value), literal::reverseBits(bits, value)) << bits << ", " << value;
        }
    }
}

// Every size 2^0 ... 2^15, every input family: the same bits as the literal
// recursion (NaN compared as NaN), out of place, in place, from split arrays,
// and on the portable path that machines without AVX2 take.
TEST(Fft, BitIdenticalToLiteral)
{
    for (uint32_t e = 0; e <= 15; ++e) {
        for (int kind = 0; kind < 5; ++kind) {
            const std::vector<Complex> in = makeInput(kind, e);
            const std::vector<Complex> expected = literalFft(e, in);
            EXPECT_EQ(firstDifference(ourFft(e, in), expected), -1) << "e = " << e << ", kind " << kind;

            std::vector<Complex> inPlace = in;
            fft(e, inPlace.data(), inPlace.data());
            EXPECT_EQ(firstDifference(inPlace, expected), -1) << "in place, e = " << e << ", kind " << kind;

            // Both paths, from interleaved input and from split arrays.
            for (bool simd : {false, true}) {
                FftWork work(e, simd);
                std::vector<Complex> viaWork(in.size());
                work.transform(in.data());
                work.store(viaWork.data());
                EXPECT_EQ(firstDifference(viaWork, expected), -1) << "simd " << simd << ", e = " << e << ", kind " << kind;
                for (size_t i = 0; i < in.size(); ++i) {
                    work.inputRe()[i] = in[i].real();
                    work.inputIm()[i] = in[i].imag();
                }
                work.transformInput();
                for (size_t i = 0; i < in.size(); ++i)
                    viaWork[i] = Complex(work.re()[i], work.im()[i]);
                EXPECT_EQ(firstDifference(viaWork, expected), -1) << "split, simd " << simd << ", e = " << e << ", kind " << kind;
            }
        }
    }
}

// Above the shared twiddle tables: 2^16 and 2^17 as four quarters side by side
// (the last two stages with twiddles of their own), 2^18 block by block with
// its late stages in two column groups.
TEST(Fft, AboveTheCachedSizesStillMatchesLiteral)
{
    for (uint32_t e : {16u, 17u, 18u}) {
        const std::vector<Complex> in = randomComplex(size_t(1) << e, 3);
        EXPECT_EQ(firstDifference(ourFft(e, in), literalFft(e, in)), -1) << "e = " << e;
    }
}

// The bit-identity tests above cover the vector kernels only where they run:
// always on aarch64 (NEON), on x86 wherever the processor has AVX2.
TEST(Fft, VectorKernelsRunWhereTheProcessorHasThem)
{
#if defined(__aarch64__)
    EXPECT_TRUE(FftWork::simdAvailable());
#elif defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(FftWork::simdAvailable(), __builtin_cpu_supports("avx2") != 0);
#else
    EXPECT_FALSE(FftWork::simdAvailable());
#endif
}

TEST(Fft, RefusesExponentsWithoutA32BitSize)
{
    Complex value(1.0, 0.0);
    EXPECT_THROW(fft(32, &value, &value), std::invalid_argument);
    EXPECT_THROW(fft(1000, &value, &value), std::invalid_argument);
    EXPECT_THROW(FftWork(32), std::invalid_argument);
}

// Against the definition, evaluated in long double with exactly reduced angles.
TEST(Fft, MatchesNaiveDft)
{
    for (uint32_t e = 0; e <= 11; ++e) {
        const size_t n = size_t(1) << e;
        const std::vector<Complex> in = randomComplex(n, 77 + e);
        const std::vector<Complex> out = ourFft(e, in);
        long double errorSquared = 0, normSquared = 0;
        for (size_t k = 0; k < n; ++k) {
            long double sumRe = 0, sumIm = 0;
            for (size_t t = 0; t < n; ++t) {
                const long double angle = -2.0L * 3.14159265358979323846264338327950288L * (long double)((t * k) % n) / n;
                const long double c = std::cos(angle), s = std::sin(angle);
                sumRe += in[t].real() * c - in[t].imag() * s;
                sumIm += in[t].real() * s + in[t].imag() * c;
            }
            const long double dr = out[k].real() - sumRe, di = out[k].imag() - sumIm;
            errorSquared += dr * dr + di * di;
            normSquared += sumRe * sumRe + sumIm * sumIm;
        }
        EXPECT_LT(std::sqrt(double(errorSquared / normSquared)), 1e-14) << "e = " << e;
    }
}

// exp(2*pi*i*m*n/N) gives N in bin m and rounding-level values elsewhere; m = N - 1
// is the most negative frequency, in the last bin.
TEST(Fft, ToneLandsInItsBin)
{
    for (uint32_t e = 1; e <= 12; ++e) {
        const size_t n = size_t(1) << e;
        for (size_t m : {size_t(0), size_t(1), n / 2, n - 1}) {
            std::vector<Complex> in(n);
            for (size_t t = 0; t < n; ++t) {
                const long double angle = 2.0L * 3.14159265358979323846264338327950288L * (long double)((m * t) % n) / n;
                in[t] = Complex(double(std::cos(angle)), double(std::sin(angle)));
            }
            const std::vector<Complex> out = ourFft(e, in);
            for (size_t k = 0; k < n; ++k) {
                if (k == m) {
                    EXPECT_NEAR(out[k].real(), double(n), 1e-10 * n) << "e " << e << " m " << m;
                    EXPECT_NEAR(out[k].imag(), 0.0, 1e-10 * n) << "e " << e << " m " << m;
                } else {
                    EXPECT_LT(std::abs(out[k]), 1e-10 * n) << "e " << e << " m " << m << " k " << k;
                }
            }
        }
    }
}

TEST(Fft, SmallestSizesAndKnownBlocks)
{
    // N = 1: no stage, the value passes through unchanged.
    EXPECT_EQ(ourFft(0, {Complex(-2.5, 7.0)})[0], Complex(-2.5, 7.0));

    // N = 2: the second twiddle is (cos(-pi), sin(-pi)) with sin(-pi) not zero.
    const std::vector<Complex> two = ourFft(1, {Complex(1.0, 0.0), Complex(1.0, 0.0)});
    EXPECT_EQ(two[0], Complex(2.0, 0.0));
    EXPECT_EQ(two[1].real(), 0.0);
    EXPECT_EQ(two[1].imag(), -1.2246467991473532e-16);

    for (uint32_t e : {4u, 9u}) {
        const size_t n = size_t(1) << e;
        for (const Complex& v : ourFft(e, std::vector<Complex>(n)))
            EXPECT_EQ(v, Complex(0.0, 0.0));
        const std::vector<Complex> constant = ourFft(e, std::vector<Complex>(n, Complex(0.5, -1.5)));
        EXPECT_EQ(constant[0], Complex(0.5 * n, -1.5 * n));
        for (size_t k = 1; k < n; ++k)
            EXPECT_LT(std::abs(constant[k]), 1e-12 * n);
    }
}
