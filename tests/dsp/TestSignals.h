#pragma once
// Random, non-finite and white-noise test signals and a bitwise comparison for the dsp tests.

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

// Values of mixed magnitude; with nonFinite, about one value in 64 becomes an
// infinity or a NaN.
inline std::vector<double> randomValues(size_t count, uint32_t seed, bool nonFinite = false)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 63);
    std::vector<double> v(count);
    for (double& x : v) {
        x = normal(rng) * std::pow(10.0, double(pick(rng) % 7) - 3.0);
        if (nonFinite) {
            const int k = pick(rng);
            if (k == 0)
                x = std::numeric_limits<double>::infinity();
            else if (k == 1)
                x = -std::numeric_limits<double>::infinity();
            else if (k == 2)
                x = std::numeric_limits<double>::quiet_NaN();
        }
    }
    return v;
}

inline std::vector<std::complex<double>> randomComplex(size_t count, uint32_t seed, bool nonFinite = false)
{
    const std::vector<double> re = randomValues(count, seed, nonFinite);
    const std::vector<double> im = randomValues(count, seed + 7919, nonFinite);
    std::vector<std::complex<double>> v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] = {re[i], im[i]};
    return v;
}

// Complex white Gaussian noise of mean power E|x|^2 = power.
inline std::vector<std::complex<double>> whiteNoise(size_t count, double power, uint32_t seed)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, std::sqrt(power / 2));
    std::vector<std::complex<double>> x(count);
    for (auto& v : x)
        v = {normal(rng), normal(rng)};
    return x;
}

// Same bits, except that any NaN matches any NaN: the sign and payload of a
// NaN depend on operand order inside the processor and carry no meaning.
inline bool sameBits(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Index of the first value that differs, or -1.
inline long firstDifference(const double* a, const double* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (!sameBits(a[i], b[i]))
            return long(i);
    }
    return -1;
}

inline long firstDifference(const std::vector<std::complex<double>>& a, const std::vector<std::complex<double>>& b)
{
    if (a.size() != b.size())
        return 0;
    return firstDifference(reinterpret_cast<const double*>(a.data()), reinterpret_cast<const double*>(b.data()),
                           2 * a.size());
}
