// The matched filter's taps and output.

#include "analysis/MatchedFilter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

using Complex = std::complex<double>;
constexpr double pi = 3.14159265358979323846;

// The root-raised-cosine pulse (roll-off 0.35, the most common) at x symbols
// from its centre; the matched filter reaches span symbols either side.
constexpr double matchedRolloff = 0.35;
constexpr int matchedSpan = 3;

double rootRaisedCosine(double x, double beta)
{
    if (std::abs(x) < 1e-12)
        return 1.0 - beta + 4.0 * beta / pi;
    if (std::abs(std::abs(x) - 1.0 / (4.0 * beta)) < 1e-9)
        return beta / std::sqrt(2.0) *
               ((1 + 2 / pi) * std::sin(pi / (4 * beta)) + (1 - 2 / pi) * std::cos(pi / (4 * beta)));
    return (std::sin(pi * x * (1 - beta)) + 4 * beta * x * std::cos(pi * x * (1 + beta))) /
           (pi * x * (1 - (4 * beta * x) * (4 * beta * x)));
}

} // namespace

MatchedFilter::MatchedFilter(double P)
{
    reach = static_cast<long long>(std::floor(matchedSpan * P));
    const std::size_t length = static_cast<std::size_t>(2 * reach + 2);
    taps.resize(phases * length);
    for (std::size_t f = 0; f < phases; ++f)
        for (std::size_t t = 0; t < length; ++t) {
            // Tap t weighs sample floor(c) - reach + t, for c a fraction f / phases past a whole sample.
            const double x = (static_cast<double>(t) - static_cast<double>(reach) -
                              static_cast<double>(f) / phases) / P;
            taps[f * length + t] = std::abs(x) <= matchedSpan ? rootRaisedCosine(x, matchedRolloff) : 0.0;
        }
    double energy = 0;
    for (std::size_t t = 0; t < length; ++t)
        energy += taps[t] * taps[t];
    scale = energy > 0 ? taps[static_cast<std::size_t>(reach)] / energy : 1.0;
}

std::complex<double> MatchedFilter::at(const std::vector<std::complex<double>>& y, double c) const
{
    const double whole = std::floor(c);
    const auto f = std::min(phases - 1, static_cast<std::size_t>(std::lround((c - whole) * phases)));
    const auto first = static_cast<long long>(whole) - reach;
    const std::size_t length = static_cast<std::size_t>(2 * reach + 2);
    const double* tap = taps.data() + f * length;
    const auto n = static_cast<long long>(y.size());
    Complex acc = 0;
    for (std::size_t t = 0; t < length; ++t) {
        const long long i = first + static_cast<long long>(t);
        if (i >= 0 && i < n)
            acc += y[static_cast<std::size_t>(i)] * tap[t];
    }
    return acc * scale;
}
