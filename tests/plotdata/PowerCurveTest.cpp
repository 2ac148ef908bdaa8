// The power curve against its literal definition.

#include "plotdata/PlotMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

// The curve as defined: every window summed afresh, in index order, from 0.0.
std::vector<double> literalPowerCurve(const std::vector<double>& i, const std::vector<double>& q,
                                      uint32_t W, double FS, double V, double R)
{
    const uint32_t n = static_cast<uint32_t>(i.size());
    std::vector<double> p(n);
    for (uint32_t k = 0; k < n; ++k)
        p[k] = V * V * ((q[k] * q[k] + i[k] * i[k]) / (FS * FS)) / 2 / R;
    std::vector<double> d(n, 0.0);
    const uint32_t h = W / 2 - 1;
    for (uint32_t k = h; k < h + n - W; ++k) {
        const uint32_t j0 = k - h;
        double sum = 0.0;
        for (uint32_t j = j0; j < j0 + W; ++j)
            sum += p[j];
        const double mean = sum / W;
        d[k] = 10 * std::log10(mean / 0.001 + 2.220446049250313e-16);
    }
    for (uint32_t k = 0; k < h; ++k)
        d[k] = d[h];
    for (uint32_t k = h + n - W; k < n; ++k)
        d[k] = d[h + n - W - 1];
    return d;
}

std::vector<double> curve(const std::vector<double>& i, const std::vector<double>& q, uint32_t W,
                          double FS = 1, double V = 1, double R = 1)
{
    return powerCurve(i.data(), q.data(), i.size(), W, FS, V, R);
}

} // namespace

TEST(PowerCurve, MatchesTheLiteralSumsOnRandomData)
{
    std::mt19937_64 rng(42);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> bursts(0.0, 1.0);
    const size_t n = 50000;
    std::vector<double> i(n), q(n);
    for (size_t k = 0; k < n; ++k) {
        // Noise with bursts 60 dB above it, so that windows mix very different powers.
        const double gain = bursts(rng) < 0.001 ? 1000.0 : 1.0;
        i[k] = gain * normal(rng);
        q[k] = gain * normal(rng);
    }
    for (uint32_t W : {2u, 3u, 100u, 101u, 10000u}) {
        const std::vector<double> expected = literalPowerCurve(i, q, W, 32768, 2.5, 50);
        const std::vector<double> actual = curve(i, q, W, 32768, 2.5, 50);
        ASSERT_EQ(actual.size(), expected.size());
        double worst = 0;
        for (size_t k = 0; k < n; ++k)
            worst = std::max(worst, std::fabs(actual[k] - expected[k]));
        EXPECT_LE(worst, 1e-9) << "W " << W;
        // In practice far closer: a few ulps in the sums, the series logarithm.
        EXPECT_LE(worst, 1e-11) << "W " << W;
    }
}

// The windows shared out over threads give the bits of one thread, whatever the
// split (blocks of the window length, a last block cut short, more threads than blocks).
TEST(PowerCurve, ThreadsKeepTheBits)
{
    std::mt19937_64 rng(11);
    std::normal_distribution<double> noise(0.0, 0.3);
    const size_t n = 250003;
    std::vector<double> i(n), q(n);
    for (size_t k = 0; k < n; ++k) {
        i[k] = noise(rng);
        q[k] = noise(rng);
    }
    i[777] = std::numeric_limits<double>::quiet_NaN();
    for (uint32_t window : {2u, 3u, 100u, 10000u, 200000u}) {
        std::vector<double> one(n), many(n);
        powerCurve(i.data(), q.data(), n, window, 1.0, 1.0, 50.0, one.data(), 1);
        for (unsigned threads : {0u, 2u, 3u, 7u}) {
            powerCurve(i.data(), q.data(), n, window, 1.0, 1.0, 50.0, many.data(), threads);
            EXPECT_EQ(std::memcmp(one.data(), many.data(), n * sizeof(double)), 0)
                << "window " << window << " threads " << threads;
        }
    }
}

TEST(PowerCurve, CalibratedLevels)
{
    struct Row
    {
        double i, q, FS, V, R;
        double dbm;
    } rows[] = {
        {1, 0, 1, 1, 1, 10 * std::log10(500.0)}, // 0.5 W: 26.99 dBm
        {0, 1, 1, 1, 50, 10.0},                  // 0.01 W
        {0.6, 0.8, 1, 1, 50, 10.0},
        {0, 0, 1, 1, 1, 10 * std::log10(2.220446049250313e-16)}, // -156.54 dBm
        {32768, 0, 32768, 1, 1, 10 * std::log10(500.0)},
    };
    for (const Row& r : rows)
        for (uint32_t W : {0u, 1u, 2u, 100u, 5000u}) {
            const std::vector<double> d =
                curve(std::vector<double>(1000, r.i), std::vector<double>(1000, r.q), W, r.FS, r.V, r.R);
            for (double v : d)
                ASSERT_NEAR(v, r.dbm, 1e-9) << "W " << W;
        }
    EXPECT_NEAR(10 * std::log10(500.0), 26.99, 0.005);
    EXPECT_NEAR(10 * std::log10(2.220446049250313e-16), -156.54, 0.005);
}

TEST(PowerCurve, HeadAndTailRepeatTheEdgeWindows)
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(0.1, 2.0);
    std::vector<double> i(1000), q(1000);
    for (size_t k = 0; k < 1000; ++k) {
        i[k] = u(rng);
        q[k] = u(rng);
    }
    // W = 100: d_49 ... d_948 computed, the rest copies.
    const std::vector<double> d = curve(i, q, 100);
    const std::vector<double> literal = literalPowerCurve(i, q, 100, 1, 1, 1);
    for (size_t k = 0; k < 1000; ++k)
        EXPECT_NEAR(d[k], literal[k], 1e-11) << k;
    for (size_t k = 0; k < 49; ++k)
        EXPECT_EQ(d[k], d[49]);
    for (size_t k = 949; k < 1000; ++k)
        EXPECT_EQ(d[k], d[948]);
    EXPECT_NE(d[948], d[947]);
    EXPECT_NE(d[49], d[50]);
    // W = 2: pairs (p_k, p_k+1) for k = 0 ... n - 3, the last two repeat d_997.
    const std::vector<double> pairs = curve(i, q, 2);
    EXPECT_EQ(pairs[998], pairs[997]);
    EXPECT_EQ(pairs[999], pairs[997]);
    EXPECT_NE(pairs[997], pairs[996]);
    const double p0 = (i[0] * i[0] + q[0] * q[0]) / 2;
    const double p1 = (i[1] * i[1] + q[1] * q[1]) / 2;
    EXPECT_NEAR(pairs[0], 10 * std::log10((p0 + p1) / 2 / 0.001 + 2.220446049250313e-16), 1e-11);
}

TEST(PowerCurve, WindowsThatDoNotFit)
{
    const std::vector<double> i = {1, 2, 3, 4};
    const std::vector<double> q = {0, 0, 0, 0};
    auto dbm = [](double watts) { return 10 * std::log10(watts / 0.001 + 2.220446049250313e-16); };
    // W of 0 or 1: every sample on its own.
    for (uint32_t W : {0u, 1u}) {
        const std::vector<double> d = curve(i, q, W);
        for (size_t k = 0; k < 4; ++k)
            EXPECT_DOUBLE_EQ(d[k], dbm(i[k] * i[k] / 2));
    }
    // A range of no more than W samples: the mean of the whole range everywhere.
    for (uint32_t W : {4u, 5u, 1000u, 0xFFFFFFFFu}) {
        const std::vector<double> d = curve(i, q, W);
        ASSERT_EQ(d.size(), 4u);
        for (double v : d)
            EXPECT_DOUBLE_EQ(v, dbm((0.5 + 2 + 4.5 + 8) / 4));
    }
    EXPECT_TRUE(curve({}, {}, 100).empty());
    EXPECT_EQ(curve({2}, {0}, 100).size(), 1u);
}

TEST(PowerCurve, SettingsThatAreNotUsableNumbers)
{
    // A zero full scale, voltage or impedance, or infinite ones: the values of the
    // full expression (infinities and NaN where it gives them).
    const std::vector<double> i = {0, 1, 2, 0, 3, 1, 0, 2};
    const std::vector<double> q = {0, 0, 1, 0, 1, 2, 0, 1};
    const double settings[][3] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {INFINITY, 1, 1},
                                  {1, INFINITY, 1}, {1, 1, -50}, {1e-200, 1, 1}};
    for (const auto& s : settings)
        for (uint32_t W : {2u, 3u, 4u}) { // the literal is defined for 2 <= W < n
            const std::vector<double> expected = literalPowerCurve(i, q, W, s[0], s[1], s[2]);
            const std::vector<double> actual = curve(i, q, W, s[0], s[1], s[2]);
            for (size_t k = 0; k < i.size(); ++k) {
                if (std::isfinite(expected[k])) {
                    EXPECT_NEAR(actual[k], expected[k], 1e-9) << s[0] << " " << s[1] << " " << s[2];
                } else {
                    EXPECT_EQ(std::isnan(actual[k]), std::isnan(expected[k]));
                    if (!std::isnan(expected[k])) {
                        EXPECT_EQ(actual[k], expected[k]);
                    }
                }
            }
        }
}

TEST(PowerCurve, NonFiniteSamplesOnlyAffectTheirWindows)
{
    std::vector<double> i(300, 1.0), q(300, 0.0);
    i[150] = std::nan("");
    const std::vector<double> expected = literalPowerCurve(i, q, 10, 1, 1, 1);
    const std::vector<double> actual = curve(i, q, 10);
    for (size_t k = 0; k < 300; ++k) {
        EXPECT_EQ(std::isnan(actual[k]), std::isnan(expected[k])) << k;
        if (!std::isnan(expected[k])) {
            EXPECT_NEAR(actual[k], expected[k], 1e-9) << k;
        }
    }
}
