// Timing error detectors swept over blocks, and the least-squares clock.

#include "analysis/SymbolTiming.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

namespace {

// Symbols a block sums; offsets tried in a full sweep of one period.
constexpr std::size_t blockSymbols = 64;
// Blocks whose median offset the next block's is unwrapped against.
constexpr std::size_t recentBlocks = 5;
constexpr int sweepSteps = 16;
// Fewer detector terms than this leave a block out.
constexpr double leastWeight = 2;

template <typename T>
T catmullRom(const std::vector<T>& x, double position)
{
    const auto n = static_cast<long long>(x.size());
    if (n == 0)
        return T{};
    const double whole = std::floor(position);
    const double u = position - whole;
    const auto i = static_cast<long long>(whole);
    auto at = [&](long long k) { return x[static_cast<std::size_t>(std::clamp<long long>(k, 0, n - 1))]; };
    const T p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    return p1 + 0.5 * u * ((p2 - p0) + u * ((2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) + u * (3.0 * (p1 - p2) + p3 - p0)));
}

// The detector's sum over one block at one offset, and its weight.
struct Sum
{
    double value = 0;
    double weight = 0;
};

// The offset (samples, in [0, P)) of the block's stable zero: where the sum
// rises through zero, the steepest such rise, preferring those within a
// quarter period of `near`.
template <typename Detect>
std::optional<double> sweep(const Detect& detect, double P, std::optional<double> near)
{
    std::array<double, sweepSteps> s{};
    for (int j = 0; j < sweepSteps; ++j)
        s[static_cast<std::size_t>(j)] = detect(P * j / sweepSteps).value;
    std::optional<double> best;
    double bestSlope = 0;
    bool bestNear = false;
    for (int j = 0; j < sweepSteps; ++j) {
        const double s0 = s[static_cast<std::size_t>(j)];
        const double s1 = s[static_cast<std::size_t>((j + 1) % sweepSteps)];
        if (!(s0 <= 0 && s1 > 0))
            continue;
        const double tau = P * (j + s0 / (s0 - s1)) / sweepSteps;
        bool isNear = false;
        if (near) {
            const double d = std::remainder(tau - *near, P);
            isNear = std::abs(d) < P / 4;
        }
        const double slope = s1 - s0;
        if (!best || (isNear && !bestNear) || (isNear == bestNear && slope > bestSlope)) {
            best = tau;
            bestSlope = slope;
            bestNear = isNear;
        }
    }
    return best;
}

// The zero by linear interpolation between two offsets that bracket it, and
// the detector's weight there.
template <typename Detect>
std::optional<std::pair<double, double>> bracket(const Detect& detect, double centre, double half)
{
    const Sum lo = detect(centre - half);
    const Sum hi = detect(centre + half);
    if (!(lo.value <= 0 && hi.value > 0))
        return std::nullopt;
    return std::pair{centre - half + 2 * half * lo.value / (lo.value - hi.value), (lo.weight + hi.weight) / 2};
}

// Each block's stable zero, followed from block to block and unwrapped
// against what the last few blocks foresee (one noisy block does not carry
// the ones after it a period away). makeDetect(k0, k1) gives the block's
// detector as a function of the offset.
template <typename MakeDetect>
std::vector<TimingBlock> followBlocks(const MakeDetect& makeDetect, double P, std::size_t symbols)
{
    std::vector<TimingBlock> blocks;
    // The next block's offset foreseen from the last few: their median, carried
    // on by their median step (a rate some 1e-3 off moves a block by a tenth of
    // a symbol or more).
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    auto reference = [&]() -> std::optional<double> {
        if (blocks.empty())
            return std::nullopt;
        const std::size_t from = blocks.size() - std::min<std::size_t>(blocks.size(), recentBlocks);
        std::vector<double> recent, steps;
        for (std::size_t b = from; b < blocks.size(); ++b) {
            recent.push_back(blocks[b].offset);
            if (b > from)
                steps.push_back(blocks[b].offset - blocks[b - 1].offset);
        }
        const double step = steps.empty() ? 0.0 : median(steps);
        return median(recent) + step * static_cast<double>(recent.size() + 1) / 2;
    };
    for (std::size_t k0 = 0; k0 < symbols; k0 += blockSymbols) {
        const std::size_t k1 = std::min(symbols, k0 + blockSymbols);
        if (k1 - k0 < blockSymbols / 4 && k0 > 0)
            break;
        const auto detect = makeDetect(k0, k1);
        const std::optional<double> near = reference();
        std::optional<double> tau;
        double weight = 0;
        if (near)
            if (const auto found = bracket(detect, *near, P / 8))
                std::tie(tau, weight) = *found;
        if (!tau) {
            tau = sweep(detect, P, near);
            if (!tau)
                continue;
            weight = detect(*tau).weight;
        }
        if (weight < leastWeight)
            continue;
        if (near)
            *tau = *near + std::remainder(*tau - *near, P);
        blocks.push_back({(static_cast<double>(k0) + static_cast<double>(k1) - 1) / 2, *tau, weight});
    }
    return blocks;
}

// Solves the normal equations of a weighted polynomial fit of degree
// `order` (0, 1 or 2) in u; coefficients a, b, c.
std::array<double, 3> solve(const std::vector<TimingBlock>& blocks, const std::vector<double>& u, int order)
{
    const int n = order + 1;
    double m[3][4] = {};
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        const double w = blocks[k].weight;
        if (w <= 0)
            continue;
        const double p[3] = {1.0, u[k], u[k] * u[k]};
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c)
                m[r][c] += w * p[r] * p[c];
            m[r][3] += w * p[r] * blocks[k].offset;
        }
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        for (int c = 0; c < 4; ++c)
            std::swap(m[col][c], m[pivot][c]);
        if (m[col][col] == 0)
            return {0, 0, 0};
        for (int r = 0; r < n; ++r) {
            if (r == col)
                continue;
            const double f = m[r][col] / m[col][col];
            for (int c = col; c < 4; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    std::array<double, 3> x{};
    for (int r = 0; r < n; ++r)
        x[static_cast<std::size_t>(r)] = m[r][3] / m[r][r];
    return x;
}

} // namespace

double SymbolClock::centre(double k) const
{
    const double u = (k - centreK) / scaleK;
    return origin + k * nominalPeriod + a + b * u + c * u * u;
}

double SymbolClock::period(double k) const
{
    const double u = (k - centreK) / scaleK;
    return nominalPeriod + (b + 2 * c * u) / scaleK;
}

double interpolateAt(const std::vector<double>& x, double position)
{
    return catmullRom(x, position);
}

std::complex<double> interpolateAt(const std::vector<std::complex<double>>& x, double position)
{
    return catmullRom(x, position);
}

SymbolClock fitClock(double origin, double nominalPeriod, std::vector<TimingBlock> blocks)
{
    SymbolClock clock;
    clock.origin = origin;
    clock.nominalPeriod = nominalPeriod;
    if (blocks.empty())
        return clock;
    double lo = blocks.front().k, hi = blocks.front().k;
    for (const TimingBlock& b : blocks) {
        lo = std::min(lo, b.k);
        hi = std::max(hi, b.k);
    }
    clock.centreK = (lo + hi) / 2;
    clock.scaleK = std::max(1.0, (hi - lo) / 2);
    std::vector<double> u;
    for (const TimingBlock& b : blocks)
        u.push_back((b.k - clock.centreK) / clock.scaleK);
    // Blocks far from the fit are left out, "far" from the spread of all the
    // blocks' residuals (a robust one, their median absolute value), at least
    // a twentieth of a period and at most a quarter.
    for (int round = 0; round < 6; ++round) {
        std::size_t used = 0;
        for (const TimingBlock& b : blocks)
            used += b.weight > 0;
        const int order = used >= 4 ? 2 : used >= 2 ? 1 : 0;
        const auto [a, b, c] = solve(blocks, u, order);
        clock.a = a;
        clock.b = b;
        clock.c = c;
        clock.blocksUsed = used;
        std::vector<double> residuals, spread;
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            residuals.push_back(std::abs(blocks[k].offset - (a + b * u[k] + c * u[k] * u[k])));
            if (blocks[k].weight > 0)
                spread.push_back(residuals.back());
        }
        if (spread.size() < 3)
            break;
        std::nth_element(spread.begin(), spread.begin() + static_cast<std::ptrdiff_t>(spread.size() / 2),
                         spread.end());
        const double limit = std::clamp(6 * spread[spread.size() / 2], nominalPeriod / 20, nominalPeriod / 4);
        bool dropped = false;
        for (std::size_t k = 0; k < blocks.size(); ++k)
            if (blocks[k].weight > 0 && residuals[k] > limit) {
                blocks[k].weight = 0;
                ++clock.blocksRejected;
                dropped = true;
            }
        if (!dropped)
            break;
    }
    // The spread about a line through the blocks kept (a quadratic through
    // a few blocks of noise would pass near too many of them).
    const auto line = solve(blocks, u, std::min<std::size_t>(clock.blocksUsed, 2) - (clock.blocksUsed > 0));
    std::vector<double> residuals;
    for (std::size_t k = 0; k < blocks.size(); ++k)
        residuals.push_back(std::abs(blocks[k].offset - (line[0] + line[1] * u[k])));
    std::nth_element(residuals.begin(), residuals.begin() + static_cast<std::ptrdiff_t>(residuals.size() / 2),
                     residuals.end());
    clock.spread = residuals[residuals.size() / 2];
    return clock;
}

namespace {

template <typename T>
SymbolClock gardner(const std::vector<T>& x, double origin, double P, std::size_t symbols)
{
    auto makeDetect = [&](std::size_t k0, std::size_t k1) {
        return [&, k0, k1](double tau) {
            Sum sum;
            auto at = [&](std::size_t k) { return origin + static_cast<double>(k) * P + tau; };
            T previous = interpolateAt(x, at(k0) - P);
            for (std::size_t k = k0; k < k1; ++k) {
                const double t = at(k);
                const T current = interpolateAt(x, t);
                const T middle = interpolateAt(x, t - P / 2);
                sum.value += std::real(std::conj(middle) * (current - previous));
                previous = current;
            }
            sum.weight = static_cast<double>(k1 - k0);
            return sum;
        };
    };
    return fitClock(origin, P, followBlocks(makeDetect, P, symbols));
}

} // namespace

SymbolClock gardnerClock(const std::vector<std::complex<double>>& x, double origin, double samplesPerSymbol,
                         std::size_t symbols)
{
    return gardner(x, origin, samplesPerSymbol, symbols);
}

SymbolClock gardnerClock(const std::vector<double>& x, double origin, double samplesPerSymbol,
                         std::size_t symbols)
{
    return gardner(x, origin, samplesPerSymbol, symbols);
}

SymbolClock zeroCrossingClock(const std::vector<double>& r, const std::vector<double>& levels, double origin,
                              double samplesPerSymbol, std::size_t symbols)
{
    const double P = samplesPerSymbol;
    std::vector<double> thresholds;
    for (std::size_t j = 1; j < levels.size(); ++j)
        thresholds.push_back((levels[j - 1] + levels[j]) / 2);
    auto level = [&](double v) {
        return static_cast<std::size_t>(std::upper_bound(thresholds.begin(), thresholds.end(), v) -
                                        thresholds.begin());
    };
    auto makeDetect = [&](std::size_t k0, std::size_t k1) {
        return [&, k0, k1](double tau) {
            Sum sum;
            auto at = [&](std::size_t k) { return origin + static_cast<double>(k) * P + tau; };
            std::size_t previous = level(interpolateAt(r, at(k0) - P));
            for (std::size_t k = k0; k < k1; ++k) {
                const double t = at(k);
                const std::size_t current = level(interpolateAt(r, t));
                if (current != previous) {
                    // Late sampling puts the point between the two symbols
                    // past the middle of their levels, towards the new one.
                    const double low = levels[previous], high = levels[current];
                    sum.value += (interpolateAt(r, t - P / 2) - (low + high) / 2) / (high - low);
                    sum.weight += 1;
                }
                previous = current;
            }
            return sum;
        };
    };
    return fitClock(origin, P, followBlocks(makeDetect, P, symbols));
}

SymbolClock toneEnergyClock(const std::vector<std::complex<double>>& y, const std::vector<double>& tones,
                            double origin, double samplesPerSymbol, std::size_t symbols)
{
    const double P = samplesPerSymbol;
    // Running sums of the samples turned down by each tone: the correlation
    // over any window is a difference of two.
    std::vector<std::vector<std::complex<double>>> sums;
    for (double w : tones) {
        std::vector<std::complex<double>> z(y.size() + 1);
        const std::complex<double> step = std::polar(1.0, -w);
        std::complex<double> turn = 1;
        for (std::size_t n = 0; n < y.size(); ++n) {
            z[n + 1] = z[n] + y[n] * turn;
            turn *= step;
            if ((n & 1023) == 1023)
                turn = std::polar(1.0, -w * static_cast<double>(n + 1));
        }
        sums.push_back(std::move(z));
    }
    // The strongest tone's energy over the symbol-long window centred at c.
    auto energy = [&](double c) {
        double best = 0;
        for (const auto& z : sums) {
            const double lo = std::clamp(c - P / 2 + 0.5, 0.0, static_cast<double>(z.size() - 1));
            const double hi = std::clamp(c + P / 2 + 0.5, 0.0, static_cast<double>(z.size() - 1));
            auto at = [&](double x) {
                const auto i = static_cast<std::size_t>(x);
                const double u = x - static_cast<double>(i);
                return i + 1 < z.size() ? z[i] + u * (z[i + 1] - z[i]) : z[i];
            };
            best = std::max(best, std::norm(at(hi) - at(lo)));
        }
        return best;
    };
    auto makeDetect = [&](std::size_t k0, std::size_t k1) {
        return [&, k0, k1](double tau) {
            Sum sum;
            for (std::size_t k = k0; k < k1; ++k) {
                const double c = origin + static_cast<double>(k) * P + tau;
                // Early minus late: positive while the windows lie early.
                sum.value += energy(c - P / 4) - energy(c + P / 4);
            }
            sum.weight = static_cast<double>(k1 - k0);
            return sum;
        };
    };
    return fitClock(origin, P, followBlocks(makeDetect, P, symbols));
}
