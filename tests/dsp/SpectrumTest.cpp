// Hann window and Welch estimate: bit identity with the literal code, the
// window sums, segment counting, the tone and noise levels, short inputs.

#include "dsp/Spectrum.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace {

using Complex = std::complex<double>;

std::vector<Complex> tone(size_t count, double cyclesPerSample)
{
    std::vector<Complex> x(count);
    for (size_t n = 0; n < count; ++n) {
        const long double angle = 2.0L * 3.14159265358979323846264338327950288L * cyclesPerSample * (long double)n;
        x[n] = Complex(double(std::cos(angle)), double(std::sin(angle)));
    }
    return x;
}

// The estimate from its definition, in long double, with the segment count given.
std::vector<double> naiveWelch(const std::vector<Complex>& x, size_t N, size_t L, size_t hop, size_t K)
{
    const std::vector<double> w = hannWindow(L);
    long double S = 0;
    for (double v : w)
        S += (long double)v * v;
    std::vector<long double> P(N, 0.0L);
    for (size_t k = 0; k < K; ++k) {
        for (size_t m = 0; m < N; ++m) {
            long double re = 0, im = 0;
            for (size_t n = 0; n < L; ++n) {
                const long double angle = -2.0L * 3.14159265358979323846264338327950288L * (long double)((n * m) % N) / N;
                const long double vr = (long double)x[k * hop + n].real() * w[n];
                const long double vi = (long double)x[k * hop + n].imag() * w[n];
                re += vr * std::cos(angle) - vi * std::sin(angle);
                im += vr * std::sin(angle) + vi * std::cos(angle);
            }
            P[m] += re * re + im * im;
        }
    }
    std::vector<double> result(N);
    for (size_t m = 0; m < N; ++m)
        result[m] = double(P[m] / (K * S));
    return result;
}

} // namespace

TEST(HannWindow, BitIdenticalToLiteral)
{
    for (size_t L : {0, 1, 2, 3, 4, 5, 16, 255, 256, 1000, 32768}) {
        const std::vector<double> ours = hannWindow(L);
        const std::vector<double> expected = literal::hannWindow(L);
        ASSERT_EQ(ours.size(), L);
        EXPECT_EQ(firstDifference(ours.data(), expected.data(), L), -1) << "L = " << L;
    }
}

TEST(HannWindow, SumsEndsAndSmallLengths)
{
    const std::vector<double> w = hannWindow(256);
    EXPECT_EQ(w.front(), 0.0);
    EXPECT_EQ(w.back(), 0.0);
    EXPECT_NEAR(std::accumulate(w.begin(), w.end(), 0.0), 127.5, 1e-12);
    EXPECT_NEAR(std::inner_product(w.begin(), w.end(), w.begin(), 0.0), 95.625, 1e-12);

    EXPECT_EQ(hannWindow(5)[2], 1.0); // odd length: the middle is exactly 1
    const std::vector<double> one = hannWindow(1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(std::isnan(one[0])); // 0 / 0
    EXPECT_EQ(hannWindow(2), std::vector<double>({0.0, 0.0}));
    const std::vector<double> four = hannWindow(4);
    ASSERT_EQ(four.size(), 4u);
    EXPECT_EQ(four[0], 0.0);
    EXPECT_NEAR(four[1], 0.75, 1e-15);
    EXPECT_NEAR(four[2], 0.75, 1e-15);
    EXPECT_NEAR(four[3], 0.0, 1e-15);
    EXPECT_TRUE(hannWindow(0).empty());
}

// Every FFT size 2^1 ... 2^15 at the spectrum view's settings (L = N, 80 %
// overlap), plus zero fill (L < N), no overlap and full overlap, on finite and
// non-finite inputs.
TEST(WelchSpectrum, BitIdenticalToLiteral)
{
    struct Row { uint32_t N, L, V; size_t count; bool nonFinite; };
    std::vector<Row> rows;
    for (uint32_t e = 1; e <= 15; ++e) {
        const uint32_t N = uint32_t(1) << e;
        rows.push_back({N, N, uint32_t(0.8 * N), size_t(N) * 3 + 5, false});
        rows.push_back({N, N, uint32_t(0.8 * N), size_t(N) * 2 + 1, true});
    }
    rows.push_back({256, 100, 30, 1000, false});
    rows.push_back({64, 64, 0, 1000, false});
    rows.push_back({64, 64, 64, 300, false});
    rows.push_back({1024, 1000, 999, 1100, true});
    uint32_t seed = 1;
    for (const Row& row : rows) {
        const std::vector<Complex> x = randomComplex(row.count, seed++, row.nonFinite);
        const std::vector<double> ours = welchSpectrum(x, row.N, row.L, row.V);
        const std::vector<double> expected = literal::welchSpectrum(x, row.N, row.L, row.V);
        ASSERT_EQ(ours.size(), row.N);
        EXPECT_EQ(firstDifference(ours.data(), expected.data(), row.N), -1)
            << "N " << row.N << " L " << row.L << " V " << row.V << " samples " << row.count;
    }
}

// Segments shared out over threads (several blocks of them, a last block cut
// short, team sizes that do not divide the segments or bins), and the I/Q entry
// reading two sequences in place: the same bits as the literal estimate.
TEST(WelchSpectrum, ThreadsAndSplitInputKeepTheBits)
{
    struct Row { uint32_t N, L, V; size_t count; bool nonFinite; };
    const Row rows[] = {
        {256, 256, 204, 200000, false}, // ~3800 segments: blocks of 1024 and a short one
        {16, 16, 12, 90000, false},     // more segments than one block of small transforms
        {1024, 1000, 900, 70000, true}, // zero fill, NaN and infinity in some segments
        {64, 64, 63, 9000, false},      // hop 1
        {128, 128, 0, 128 * 130 + 7, false},
    };
    uint32_t seed = 300;
    for (const Row& row : rows) {
        const std::vector<Complex> x = randomComplex(row.count, seed++, row.nonFinite);
        std::vector<double> i(x.size()), q(x.size());
        for (size_t k = 0; k < x.size(); ++k) {
            i[k] = x[k].real();
            q[k] = x[k].imag();
        }
        const std::vector<double> expected = literal::welchSpectrum(x, row.N, row.L, row.V);
        for (unsigned threads : {0u, 1u, 2u, 3u, 5u}) {
            const std::vector<double> ours = welchSpectrum(x, row.N, row.L, row.V, threads);
            const std::vector<double> split =
                welchSpectrum(i.data(), q.data(), x.size(), row.N, row.L, row.V, threads);
            ASSERT_EQ(ours.size(), row.N);
            ASSERT_EQ(split.size(), row.N);
            EXPECT_EQ(firstDifference(ours.data(), expected.data(), row.N), -1)
                << "N " << row.N << " threads " << threads;
            EXPECT_EQ(firstDifference(split.data(), expected.data(), row.N), -1)
                << "split, N " << row.N << " threads " << threads;
        }
    }
}

// Segment counts, seen through the result: with random data every segment
// differs, so a wrong count or a used tail changes the estimate.
TEST(WelchSpectrum, CountsWholeSegmentsOnly)
{
    struct Row { size_t count; uint32_t N, L, V; size_t hop, segments; };
    const Row rows[] = {
        {32, 32, 32, 16, 16, 1},       // exactly L samples
        {32 + 15, 32, 32, 16, 16, 1},  // L + H - 1: the tail is ignored
        {32 + 16, 32, 32, 16, 16, 2},  // L + H
        {40, 32, 32, 32, 1, 9},        // V = L: hop 1, count - L + 1 segments
        {100, 32, 20, 5, 15, 6},       // L < N: zero fill, (100 - 20) / 15 + 1
        {70, 16, 16, 0, 16, 4},        // no overlap
    };
    uint32_t seed = 40;
    for (const Row& row : rows) {
        const std::vector<Complex> x = randomComplex(row.count, seed++);
        const std::vector<double> ours = welchSpectrum(x, row.N, row.L, row.V);
        const std::vector<double> expected = naiveWelch(x, row.N, row.L, row.hop, row.segments);
        ASSERT_EQ(ours.size(), row.N);
        for (uint32_t m = 0; m < row.N; ++m)
            ASSERT_NEAR(ours[m], expected[m], 1e-12 * (1.0 + expected[m])) << "samples " << row.count << " bin " << m;
    }
}

// A unit tone in bin m gives (sum w)^2 / sum w^2 = 2(N - 1)/3 there; the
// symmetric window leaks into the neighbours by known amounts.
TEST(WelchSpectrum, ToneLevelsAndPlacement)
{
    const uint32_t N = 64;
    for (uint32_t m : {5u, 20u}) {
        const std::vector<double> p = welchSpectrum(tone(N, double(m) / N), N, N, 0);
        EXPECT_NEAR(p[m], 42.0, 1e-9);
        for (int side : {-1, 1}) {
            EXPECT_NEAR(p[m + side], 10.998, 5e-4);
            EXPECT_NEAR(p[m + 2 * side], 0.00128, 5e-6);
            EXPECT_NEAR(p[m + 3 * side], 0.000176, 5e-7);
        }
    }
    const std::vector<double> p256 = welchSpectrum(tone(4096, 17.0 / 256), 256, 256, 204);
    EXPECT_NEAR(p256[17], 170.0, 1e-8);

    // A negative frequency lands in the upper half, in FFT order.
    const std::vector<double> negative = welchSpectrum(tone(1000, -3.0 / 64), N, N, 48);
    EXPECT_EQ(std::max_element(negative.begin(), negative.end()) - negative.begin(), long(N - 3));
}

TEST(WelchSpectrum, WhiteNoiseAveragesToItsPower)
{
    std::mt19937_64 rng(9);
    for (double sigma : {1.0, 0.25, 30.0}) {
        std::normal_distribution<double> normal(0.0, sigma / std::sqrt(2.0));
        std::vector<Complex> x(400000);
        for (Complex& v : x)
            v = Complex(normal(rng), normal(rng));
        const std::vector<double> p = welchSpectrum(x, 64, 64, 32);
        const double mean = std::accumulate(p.begin(), p.end(), 0.0) / double(p.size());
        EXPECT_NEAR(mean / (sigma * sigma), 1.0, 0.02) << "sigma " << sigma;
        for (double v : p)
            EXPECT_NEAR(v / (sigma * sigma), 1.0, 0.15) << "sigma " << sigma;
    }
}

TEST(WelchSpectrum, DegenerateInputs)
{
    // All zeros: all zeros.
    for (double v : welchSpectrum(std::vector<Complex>(500), 64, 64, 51))
        EXPECT_EQ(v, 0.0);
    // L = 2: the window is two zeros, so every bin is 0 / 0.
    for (double v : welchSpectrum(randomComplex(50, 1), 2, 2, 1))
        EXPECT_TRUE(std::isnan(v));
    EXPECT_THROW(welchSpectrum(randomComplex(50, 1), 16, 32, 0), std::invalid_argument);
    // V > L: the hop wraps past any input length, leaving the first segment alone.
    const std::vector<Complex> x = randomComplex(100, 2);
    const std::vector<double> wrapped = welchSpectrum(x, 32, 32, 40);
    const std::vector<double> first = literal::welchSpectrum({x.begin(), x.begin() + 32}, 32, 32, 0);
    EXPECT_EQ(firstDifference(wrapped.data(), first.data(), 32), -1);
    EXPECT_TRUE(welchSpectrum(randomComplex(50, 1), 0, 0, 0).empty());
}

// Fewer samples than one segment: the samples present form one segment with a
// window of their own length, zero-filled to N; N values, no read past the end
// (the sanitizer build checks the latter).
TEST(WelchSpectrum, ShortInputIsOneShorterSegment)
{
    const std::vector<Complex> x = randomComplex(40, 5);
    const std::vector<double> p = welchSpectrum(x, 256, 256, 204);
    ASSERT_EQ(p.size(), 256u);
    const std::vector<double> expected = literal::welchSpectrum(x, 256, 40, 0);
    EXPECT_EQ(firstDifference(p.data(), expected.data(), 256), -1);

    const std::vector<double> empty = welchSpectrum({}, 32, 32, 0);
    ASSERT_EQ(empty.size(), 32u);
    for (double v : empty)
        EXPECT_TRUE(std::isnan(v)); // no power over no window: 0 / 0
}
