// FSK decisions by tone correlation.

#include "analysis/ToneDecisions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;
using Complex = std::complex<double>;

// Solves [sxx sxy; sxy syy] [a; b] = [sx; sy], or nothing when singular.
std::optional<std::pair<double, double>> solve2(double sxx, double sxy, double syy, double sx, double sy)
{
    const double det = sxx * syy - sxy * sxy;
    if (!(std::abs(det) > 1e-12 * std::max(1.0, sxx * syy)))
        return std::nullopt;
    return std::pair{(sx * syy - sy * sxy) / det, (sxx * sy - sxy * sx) / det};
}

// e^(-jx) for |x| <= pi, to about 1e-7: sine and cosine of x / 2 by their
// series, then doubled (the decision metric needs no more, and the library's
// sine and cosine would be most of its cost).
Complex turnBack(double x)
{
    const double h = x / 2, h2 = h * h;
    const double sine = h * (1 - h2 / 6 * (1 - h2 / 20 * (1 - h2 / 42 * (1 - h2 / 72 * (1 - h2 / 110)))));
    const double cosine = 1 - h2 / 2 * (1 - h2 / 12 * (1 - h2 / 30 * (1 - h2 / 56 * (1 - h2 / 90))));
    return {cosine * cosine - sine * sine, -2 * sine * cosine};
}

} // namespace

// FSK decisions: for each symbol, the tone (hertz in the band's samples) whose
// correlation with the symbol's samples, centre +- half a symbol, is strongest
// in magnitude (noncoherent: the phase at each symbol is free).
std::vector<int> toneDecisions(const std::vector<Complex>& y, const std::vector<double>& centres, double P,
                               const std::vector<double>& tones, double R, std::vector<double>* closeness)
{
    if (closeness)
        closeness->clear();
    std::vector<int> symbols;
    symbols.reserve(centres.size());
    std::vector<Complex> step, sum(tones.size());
    for (double f : tones)
        step.push_back(std::polar(1.0, -2 * pi * f / R));
    const auto n = static_cast<long long>(y.size());
    for (double c : centres) {
        const double half = P / 2;
        const long long lo = std::max(0LL, static_cast<long long>(std::ceil(c - half)));
        const long long hi = std::min(n - 1, static_cast<long long>(std::floor(c + half)));
        int best = 0;
        double bestPower = -1, second = 0;
        for (std::size_t i = 0; i < tones.size(); ++i) {
            Complex rotation = 1, acc = 0;
            for (long long k = lo; k <= hi; ++k) {
                acc += y[static_cast<std::size_t>(k)] * rotation;
                rotation *= step[i];
            }
            const double power = std::norm(acc);
            if (power > bestPower) {
                second = std::max(second, bestPower);
                bestPower = power;
                best = static_cast<int>(i);
            } else {
                second = std::max(second, power);
            }
        }
        symbols.push_back(best);
        if (closeness)
            closeness->push_back(bestPower > 0 ? second / bestPower : 1.0);
    }
    return symbols;
}

// The shape from the frequency between adjacent samples (hertz, before any
// smoothing) at the centres and boundaries of the symbols as decided.
FrequencyShape learnShape(const std::vector<Complex>& y, const std::vector<double>& centres, double P,
                          const std::vector<double>& tones, double R, const std::vector<int>& symbols)
{
    FrequencyShape shape;
    auto frequencyAt = [&](double position) {
        const auto n = static_cast<long long>(std::llround(position - 0.5));
        if (n < 0 || n + 1 >= static_cast<long long>(y.size()))
            return std::numeric_limits<double>::quiet_NaN();
        const auto i = static_cast<std::size_t>(n);
        return std::arg(y[i + 1] * std::conj(y[i])) * R / (2 * pi);
    };
    double c[5] = {}, e[5] = {};
    for (std::size_t k = 2; k + 2 < centres.size(); ++k) {
        const auto f = [&](std::size_t j) { return tones[static_cast<std::size_t>(symbols[j])]; };
        const double mid = frequencyAt(centres[k]);
        const double edge = frequencyAt(centres[k] + P / 2);
        if (std::isnan(mid) || std::isnan(edge))
            continue;
        const double x1 = f(k), x2 = f(k - 1) + f(k + 1);
        c[0] += x1 * x1, c[1] += x1 * x2, c[2] += x2 * x2, c[3] += x1 * mid, c[4] += x2 * mid;
        const double z1 = f(k) + f(k + 1), z2 = f(k - 1) + f(k + 2);
        e[0] += z1 * z1, e[1] += z1 * z2, e[2] += z2 * z2, e[3] += z1 * edge, e[4] += z2 * edge;
    }
    if (const auto s = solve2(c[0], c[1], c[2], c[3], c[4]))
        std::tie(shape.centre, shape.side) = *s;
    if (const auto s = solve2(e[0], e[1], e[2], e[3], e[4]))
        std::tie(shape.pair, shape.outer) = *s;
    // The tones are the centres' own mean frequencies: a centre below one is
    // the bias noise gives single turns' angles (pulled towards zero), which
    // the boundaries share.
    if (shape.centre > 0.5 && shape.centre < 1.5) {
        shape.side /= shape.centre;
        shape.pair /= shape.centre;
        shape.outer /= shape.centre;
        shape.centre = 1;
    }
    return shape;
}

// FSK decisions again, each symbol's tone chosen with its neighbours' (as
// first decided) shaping the frequency over it: a parabola through the
// shape's values at its start, centre and end (what a tone held over the
// symbol misses when the keying's frequency pulses are smooth).
std::vector<int> shapedToneDecisions(const std::vector<Complex>& y, const std::vector<double>& centres, double P,
                                     const std::vector<double>& tones, double R, const std::vector<int>& first,
                                     const FrequencyShape& shape, const std::vector<bool>& doubtful)
{
    std::vector<int> symbols = first;
    const auto n = static_cast<long long>(y.size());
    const auto count = static_cast<long long>(centres.size());
    auto tone = [&](long long j) {
        return tones[static_cast<std::size_t>(first[static_cast<std::size_t>(std::clamp(j, 0LL, count - 1))])];
    };
    std::vector<Complex> turn;
    for (long long k = 0; k < count; ++k) {
        if (!doubtful[static_cast<std::size_t>(k)])
            continue;
        const double c = centres[static_cast<std::size_t>(k)];
        const long long lo = std::max(0LL, static_cast<long long>(std::ceil(c - P / 2)));
        const long long hi = std::min(n - 1, static_cast<long long>(std::floor(c + P / 2)));
        double bestPower = -1;
        for (std::size_t m = 0; m < tones.size(); ++m) {
            const double f = tones[m];
            const double start = shape.pair * (tone(k - 1) + f) + shape.outer * (tone(k - 2) + tone(k + 1));
            const double middle = shape.centre * f + shape.side * (tone(k - 1) + tone(k + 1));
            const double end = shape.pair * (f + tone(k + 1)) + shape.outer * (tone(k - 1) + tone(k + 2));
            // f(u) = middle + b u + q u^2 over u in [-1/2, 1/2]; its phase
            // 2 pi T (middle u + b u^2 / 2 + q u^3 / 3).
            const double b = end - start;
            const double q = 2 * (end + start - 2 * middle);
            const double T = P / R;
            // The phase at each sample, turned back step by step (steps of
            // less than half a turn: the tones lie within the band).
            auto phaseAt = [&](long long i) {
                const double u = (static_cast<double>(i) - c) / P;
                return 2 * pi * T * u * (middle + u * (b / 2 + u * q / 3));
            };
            Complex acc = 0, rotation = std::polar(1.0, -phaseAt(lo));
            double phase = phaseAt(lo);
            for (long long i = lo; i <= hi; ++i) {
                acc += y[static_cast<std::size_t>(i)] * rotation;
                const double next = phaseAt(i + 1);
                double step = next - phase;
                step -= step > pi ? 2 * pi : step < -pi ? -2 * pi : 0.0;
                rotation *= turnBack(step);
                phase = next;
            }
            if (std::norm(acc) > bestPower) {
                bestPower = std::norm(acc);
                symbols[static_cast<std::size_t>(k)] = static_cast<int>(m);
            }
        }
    }
    return symbols;
}

