// Chi-square medians against the closed forms of the distribution function, and
// the effective segment count against the spread of Welch bins of white noise.

#include "dsp/WelchAccumulator.h"
#include "dsp/WelchStatistics.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

TEST(ChiSquareMedian, SplitsTheDistributionInHalves)
{
    // P(chi2 <= x): erf forms for 1 and 3 degrees of freedom, the Poisson sum for even ones.
    auto cdf = [](int dof, double x) {
        if (dof == 1)
            return std::erf(std::sqrt(x / 2));
        if (dof == 3)
            return std::erf(std::sqrt(x / 2)) - std::sqrt(2 * x / std::numbers::pi) * std::exp(-x / 2);
        double term = 1, sum = 1;
        for (int i = 1; i < dof / 2; ++i)
            sum += term *= (x / 2) / i;
        return 1 - std::exp(-x / 2) * sum;
    };
    for (int dof : {1, 2, 3, 4, 10, 40, 298, 302, 1000})
        EXPECT_NEAR(cdf(dof, chiSquareMedian(dof)), 0.5, 1e-9) << dof << " degrees of freedom";
    EXPECT_NEAR(chiSquareMedian(2), 2 * std::log(2.0), 1e-13);
    EXPECT_TRUE(std::isnan(chiSquareMedian(0.5)));
    EXPECT_TRUE(std::isnan(chiSquareMedian(NAN)));
}

// Var / mean^2 of the bins of many Welch estimates of white noise is 1 / K_eff.
TEST(EffectiveSegments, MatchesTheSpreadOfNoiseBins)
{
    struct Row { uint32_t L, hop; uint64_t K; };
    const Row rows[] = {
        {1024, 1024, 1}, {1024, 512, 2}, {1024, 512, 12}, {1024, 256, 12},
        {1024, 103, 40}, {256, 1, 20}, {8192, 8, 600}, // the last: the continuous form
    };
    uint32_t seed = 17;
    for (const Row& row : rows) {
        double sum = 0, squares = 0, count = 0;
        while (count < 30000) {
            const std::vector<std::complex<double>> x = whiteNoise((row.K - 1) * row.hop + row.L, 1.0, seed++);
            WelchAccumulator welch(x.size(), row.L, row.L, row.L - row.hop, 1);
            ASSERT_EQ(welch.segmentCount(), row.K);
            welch.add(x.data(), loadComplexSegment, row.K, nullptr);
            for (double p : welch.result()) {
                sum += p;
                squares += p * p;
                count += 1;
            }
        }
        const double mean = sum / count;
        const double measured = mean * mean / (squares / count - mean * mean);
        EXPECT_NEAR(effectiveSegments(row.K, row.L, row.hop) / measured, 1.0, 0.1)
            << "L " << row.L << " hop " << row.hop << " K " << row.K << ": measured " << measured;
    }
    EXPECT_DOUBLE_EQ(effectiveSegments(7, 64, 64), 7.0);
    EXPECT_TRUE(std::isnan(effectiveSegments(0, 64, 32)));
    EXPECT_TRUE(std::isnan(effectiveSegments(5, 2, 1)));
}
