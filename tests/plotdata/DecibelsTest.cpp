// The series logarithm against the library's.

#include "plotdata/Decibels.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

TEST(Decibels, CloseToTheLibraryEverywhere)
{
    std::mt19937_64 rng(8);
    std::uniform_real_distribution<double> exponent(-307.0, 308.0);
    std::uniform_real_distribution<double> unit(0.5, 2.0);
    std::vector<double> values = {1.0, 2.0, 0.5, 10.0, 1000.0, 1e-3, std::sqrt(2.0), 0.7071067811865476,
                                  DBL_MIN, DBL_MAX, 2.220446049250313e-16};
    for (int k = 0; k < 200000; ++k) {
        values.push_back(std::pow(10.0, exponent(rng)));
        values.push_back(unit(rng)); // around the reduction boundaries
    }
    for (double x : values)
        ASSERT_NEAR(decibels(x), 10 * std::log10(x), 1e-11 + 1e-15 * std::fabs(10 * std::log10(x))) << x;
    EXPECT_EQ(decibels(1.0), 0.0);
}

TEST(Decibels, SpecialValuesAsTheLibraryGivesThem)
{
    const double specials[] = {0.0, -0.0, -1.0, 4.9e-324, 1e-310, INFINITY, -INFINITY, NAN};
    for (double x : specials) {
        const double expected = 10 * std::log10(x);
        const double actual = decibels(x);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(actual)) << x;
        } else {
            EXPECT_EQ(actual, expected) << x;
        }
    }
}

TEST(Decibels, ArrayFormEqualsTheScalarBitForBit)
{
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> exponent(-20.0, 20.0);
    for (size_t n : {0u, 1u, 3u, 4u, 5u, 1001u}) {
        std::vector<double> values(n);
        for (double& v : values)
            v = std::pow(10.0, exponent(rng));
        if (n > 4) {
            values[2] = NAN; // a lane the series does not take
            values[n - 1] = -1.0;
        }
        std::vector<double> converted = values;
        decibelsInPlace(converted.data(), n, 1000.0 / 7);
        for (size_t k = 0; k < n; ++k) {
            const double expected = decibels(values[k] * (1000.0 / 7) + 2.220446049250313e-16);
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(converted[k]));
            } else {
                EXPECT_EQ(converted[k], expected) << k;
            }
        }
    }
}
