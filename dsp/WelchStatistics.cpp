// Effective segment count of the Welch average and the chi-square median.

#include "dsp/WelchStatistics.h"

#include "dsp/Spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The most products w[n] w[n + d] the lag sums are worked out with; beyond it (long
// windows and small hops) the continuous window's autocorrelation stands in, within
// O(1/L) of the sums.
constexpr double exactSumBudget = double(1 << 24);

// Autocorrelation of the Hann window sin^2(pi t) on [0, 1] at lag tau (0 ... 1),
// divided by its value at lag 0.
double continuousHannCorrelation(double tau)
{
    const double angle = 2.0 * std::numbers::pi * tau;
    return ((1.0 - tau) * (2.0 + std::cos(angle)) + 3.0 * std::sin(angle) / (2.0 * std::numbers::pi)) / 3.0;
}

// Above this many degrees of freedom, Choi's asymptotic series of the gamma median
// (its terms to k^-3, error of order k^-4 with k = dof/2) replaces the incomplete gamma
// function, whose prefactor would need Gamma(dof / 2) beyond what a double holds.
constexpr double exactMedianLimit = 300.0;
constexpr int gammaIterations = 1000;
constexpr int bisections = 200;
constexpr double tiny = 1e-300;

// Regularised lower incomplete gamma function P(a, x) for a > 0, x >= 0: its series
// below x = a + 1, the continued fraction of Q = 1 - P above (Lentz's method).
double gammaP(double a, double x)
{
    if (x <= 0.0)
        return 0.0;
    const double prefactor = std::exp(a * std::log(x) - x - std::log(std::tgamma(a)));
    const double epsilon = std::numeric_limits<double>::epsilon();
    if (x < a + 1.0) {
        double term = 1.0 / a;
        double sum = term;
        for (int k = 1; k < gammaIterations && term > sum * epsilon; ++k) {
            term = term * (x / (a + double(k)));
            sum = sum + term;
        }
        return sum * prefactor;
    }
    double b = x + 1.0 - a;
    double c = 1.0 / tiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < gammaIterations; ++i) {
        const double an = -double(i) * (double(i) - a);
        b = b + 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny)
            c = tiny;
        d = 1.0 / d;
        const double delta = d * c;
        h = h * delta;
        if (std::fabs(delta - 1.0) < epsilon)
            break;
    }
    return 1.0 - prefactor * h;
}

} // namespace

double effectiveSegments(uint64_t segments, uint32_t length, uint32_t hop)
{
    if (segments == 0 || length < 3)
        return notANumber;
    const uint64_t step = std::max<uint32_t>(hop, 1);
    const double K = double(segments);
    // Only segments that overlap are correlated: lags j hop < L.
    const uint64_t lags = std::min<uint64_t>(segments - 1, (length - 1) / step);
    const bool exact = double(lags) * double(length) <= exactSumBudget;
    std::vector<double> w;
    double power = 0.0;
    if (exact) {
        w = hannWindow(length);
        for (double v : w)
            power = power + v * v;
    }
    double sum = 0.0;
    for (uint64_t j = 1; j <= lags; ++j) {
        const uint64_t d = j * step;
        double c;
        if (exact) {
            double lagged = 0.0;
            for (uint64_t n = 0; n + d < length; ++n)
                lagged = lagged + w[n] * w[n + d];
            c = lagged / power;
        } else {
            c = continuousHannCorrelation(double(d) / double(length - 1));
        }
        sum = sum + (1.0 - double(j) / K) * (c * c);
    }
    return K / (1.0 + 2.0 * sum);
}

double chiSquareMedian(double dof)
{
    if (!(dof >= 1.0))
        return notANumber;
    if (dof > exactMedianLimit) {
        const double k = 0.5 * dof;
        return 2.0 * (k - 1.0 / 3.0 + 8.0 / (405.0 * k) + 184.0 / (25515.0 * k * k)
                      + 2248.0 / (3444525.0 * k * k * k));
    }
    // The median lies below the mean, dof; bisect P(dof/2, m/2) = 1/2 on [0, dof].
    double low = 0.0;
    double high = dof;
    for (int i = 0; i < bisections && high - low > high * 1e-15; ++i) {
        const double middle = 0.5 * (low + high);
        if (gammaP(0.5 * dof, 0.5 * middle) < 0.5)
            low = middle;
        else
            high = middle;
    }
    return 0.5 * (low + high);
}
