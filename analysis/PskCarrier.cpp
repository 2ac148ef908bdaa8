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
    double w = 0;
    for (std::size_t lag : {std::size_t(1), fineLag}) {
        Complex turn = 0;
        for (std::size_t k = lag; k < n; ++k)
            turn += power(s[k]) * std::conj(power(s[k - lag]));
        const double step = std::arg(turn) / (M * static_cast<double>(lag));
        for (std::size_t k = 0; k < n; ++k)
            s[k] *= std::polar(1.0, -step * static_cast<double>(k));
        w += step;
    }
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
    for (std::size_t k = 0; k < n; ++k) {
        const double phase = mp + slope * (static_cast<double>(k) - mk);
        s[k] *= std::polar(1.0, origin - phase);
    }
    return w + slope;
}
