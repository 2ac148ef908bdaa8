// The PSK carrier's frequency and phase.

#include "analysis/PskCarrier.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

using Complex = std::complex<double>;
constexpr double pi = 3.14159265358979323846;
// Symbols apart whose M-th powers refine the carrier's frequency.
constexpr std::size_t fineLag = 8;
// Symbols a block of the carrier's phase fit sums.
constexpr std::size_t carrierBlock = 32;

// s[k] turned by a + b k radians, the turn carried from symbol to symbol
// (taken afresh every 1024, so that rounding cannot build up).
void turnLinearly(std::vector<Complex>& s, double a, double b)
{
    const Complex step = std::polar(1.0, b);
    Complex turn;
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (k % 1024 == 0)
            turn = std::polar(1.0, a + b * static_cast<double>(k));
        s[k] *= turn;
        turn *= step;
    }
}

} // namespace

double removeCarrier(std::vector<std::complex<double>>& s, int M, double origin)
{
    const std::size_t n = s.size();
    auto power = [M](Complex v) {
        Complex p = 1;
        for (int k = 0; k < M; ++k)
            p *= v;
        return p;
    };
    // The turn per symbol from neighbours (coarse, unambiguous up to an
    // eighth of a turn), then from symbols `fineLag` apart (finer by as much:
    // the noise of the M-th power over a long burst would otherwise leave the
    // blocks below too far apart to unwrap).
    auto turnOver = [&](std::size_t lag) {
        Complex turn = 0;
        for (std::size_t k = lag; k < n; ++k)
            turn += power(s[k]) * std::conj(power(s[k - lag]));
        return turn;
    };
    const double coarse = std::arg(turnOver(1)) / M;
    const double lag = static_cast<double>(fineLag);
    const double w =
        coarse + std::arg(turnOver(fineLag) * std::polar(1.0, -M * lag * coarse)) / (M * lag);
    turnLinearly(s, 0.0, -w);
    // Block phases, unwrapped by 2 pi / M, then a least-squares line.
    const double step = 2 * pi / M;
    std::vector<double> ks, phases;
    for (std::size_t k0 = 0; k0 < n; k0 += carrierBlock) {
        const std::size_t k1 = std::min(n, k0 + carrierBlock);
        Complex sum = 0;
        for (std::size_t k = k0; k < k1; ++k)
            sum += power(s[k]);
        double phase = std::arg(sum) / M;
        if (!phases.empty())
            phase = phases.back() + std::remainder(phase - phases.back(), step);
        ks.push_back((static_cast<double>(k0) + static_cast<double>(k1) - 1) / 2);
        phases.push_back(phase);
    }
    double mk = 0, mp = 0;
    for (std::size_t b = 0; b < ks.size(); ++b) {
        mk += ks[b];
        mp += phases[b];
    }
    mk /= static_cast<double>(ks.size());
    mp /= static_cast<double>(ks.size());
    double skk = 0, skp = 0;
    for (std::size_t b = 0; b < ks.size(); ++b) {
        skk += (ks[b] - mk) * (ks[b] - mk);
        skp += (ks[b] - mk) * (phases[b] - mp);
    }
    const double slope = skk > 0 ? skp / skk : 0.0;
    turnLinearly(s, origin - mp + slope * mk, -slope);
    return w + slope;
}
