// The symbol recovery's chain.

#include "analysis/SymbolRecovery.h"

#include "analysis/BurstExtent.h"
#include "analysis/SymbolBits.h"
#include "analysis/SymbolSlicer.h"
#include "analysis/SymbolTiming.h"
#include "dsp/WorkControl.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

constexpr double pi = 3.14159265358979323846;
// The fewest samples per symbol (of the band) the clock can be found at, and
// the fewest symbols a burst must hold.
constexpr double fewestSamplesPerSymbol = 2;
constexpr std::size_t fewestSymbols = 4;
// Blocks of the timing that tell a clock from noise, and the spread of
// their offsets (of a period) above which there is none.
constexpr std::size_t steadyBlocks = 4;
constexpr double unsteadySpread = 0.075;
// Symbols a block of the carrier's phase fit sums.
constexpr std::size_t carrierBlock = 32;

using Complex = std::complex<double>;

// The moving mean of `length` values: out[i] is the mean of in[i - h ...
// i - h + length), h = (length - 1) / 2, cut at the ends; it stands
// ((length - 1) / 2 - h) samples after in[i].
template <typename T>
std::vector<T> movingMean(const std::vector<T>& in, std::size_t length)
{
    const std::size_t n = in.size();
    const std::size_t h = (length - 1) / 2;
    std::vector<T> prefix(n + 1, T{});
    for (std::size_t k = 0; k < n; ++k)
        prefix[k + 1] = prefix[k] + in[k];
    std::vector<T> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t lo = k - std::min(k, h);
        const std::size_t hi = std::min(n, lo + length);
        out[k] = (prefix[hi] - prefix[lo]) / static_cast<double>(hi - lo);
    }
    return out;
}

double shiftOf(std::size_t length)
{
    return static_cast<double>(length - 1) / 2 - static_cast<double>((length - 1) / 2);
}

void checkSettings(const BandSamples& band, const SymbolSettings& s)
{
    if (!(s.symbolRateHz > 0) || !std::isfinite(s.symbolRateHz))
        throw std::invalid_argument("The symbol rate must be a positive number of hertz");
    if (band.rate / s.symbolRateHz < fewestSamplesPerSymbol)
    {
        std::ostringstream text;
        text << "The symbol rate is above half the band's sample rate (" << band.rate
             << " Hz): widen the band or check the rate";
        throw std::invalid_argument(text.str());
    }
    if (modulationLevels(s.modulation) == 0)
        throw std::invalid_argument("No symbols can be read from a signal of kind " + modulationName(s.modulation));
    if (s.levels != 2 && s.levels != 4 && s.levels != 8)
        throw std::invalid_argument("The levels must be 2, 4 or 8");
    if (!s.slicerLevels.empty() && s.slicerLevels.size() != static_cast<std::size_t>(s.levels))
        throw std::invalid_argument("The slicer needs one level per symbol");
}

// Angles of the carrier-free PSK points; the phase of the point of symbol 0.
double pskOrigin(int levels)
{
    return levels == 4 ? pi / 4 : 0.0;
}

// The PSK symbols' samples with the carrier taken out: its frequency from the
// M-th power's turn per symbol, its phase from the M-th power block by block,
// unwrapped and fitted by a line. Returns the frequency in radians per symbol.
double removeCarrier(std::vector<Complex>& s, int M)
{
    const std::size_t n = s.size();
    auto power = [M](Complex v) {
        Complex p = 1;
        for (int k = 0; k < M; ++k)
            p *= v;
        return p;
    };
    Complex turn = 0;
    for (std::size_t k = 1; k < n; ++k)
        turn += power(s[k]) * std::conj(power(s[k - 1]));
    const double w = std::arg(turn) / M;
    for (std::size_t k = 0; k < n; ++k)
        s[k] *= std::polar(1.0, -w * static_cast<double>(k));
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
    const double origin = pskOrigin(M);
    for (std::size_t k = 0; k < n; ++k) {
        const double phase = mp + slope * (static_cast<double>(k) - mk);
        s[k] *= std::polar(1.0, origin - phase);
    }
    return w + slope;
}

// The root-raised-cosine pulse (roll-off 0.35, the most common) at x symbols
// from its centre, tabulated over +-span symbols for the matched filter.
constexpr double matchedRolloff = 0.35;
constexpr int matchedSpan = 4;
constexpr int tableSteps = 256; // per symbol

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

const std::vector<double>& matchedTable()
{
    static const std::vector<double> table = [] {
        std::vector<double> t(2 * matchedSpan * tableSteps + 2);
        for (std::size_t k = 0; k < t.size(); ++k)
            t[k] = rootRaisedCosine(static_cast<double>(k) / tableSteps - matchedSpan, matchedRolloff);
        return t;
    }();
    return table;
}

// The matched filter's output at position c (samples, fractional) of y, P
// samples a symbol, with unit gain for a symbol's own pulse.
Complex matchedAt(const std::vector<Complex>& y, double c, double P)
{
    const std::vector<double>& table = matchedTable();
    const auto n = static_cast<long long>(y.size());
    const long long lo = std::max(0LL, static_cast<long long>(std::ceil(c - matchedSpan * P)));
    const long long hi = std::min(n - 1, static_cast<long long>(std::floor(c + matchedSpan * P)));
    Complex acc = 0;
    double weight = 0;
    for (long long i = lo; i <= hi; ++i) {
        const double at = ((static_cast<double>(i) - c) / P + matchedSpan) * tableSteps;
        const auto j = static_cast<std::size_t>(at);
        const double u = at - static_cast<double>(j);
        const double h = table[j] + u * (table[j + 1] - table[j]);
        acc += y[static_cast<std::size_t>(i)] * h;
        weight += h * h;
    }
    // The pulse (root-raised-cosine, unit peak) filtered by itself peaks at
    // the energy of the taps over its peak squared; the result is the symbol's
    // own amplitude.
    const double peak = table[static_cast<std::size_t>(matchedSpan * tableSteps)];
    return weight > 0 ? acc * peak / weight : acc;
}

// FSK decisions: for each symbol, the tone (hertz in the band's samples) whose
// correlation with the symbol's samples, centre +- half a symbol, is strongest
// in magnitude (noncoherent: the phase at each symbol is free).
std::vector<int> toneDecisions(const std::vector<Complex>& y, const std::vector<double>& centres, double P,
                               const std::vector<double>& tones, double R)
{
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
        double bestPower = -1;
        for (std::size_t i = 0; i < tones.size(); ++i) {
            Complex rotation = 1, acc = 0;
            for (long long k = lo; k <= hi; ++k) {
                acc += y[static_cast<std::size_t>(k)] * rotation;
                rotation *= step[i];
            }
            if (std::norm(acc) > bestPower) {
                bestPower = std::norm(acc);
                best = static_cast<int>(i);
            }
        }
        symbols.push_back(best);
    }
    return symbols;
}

// How the frequency of an FSK burst passes from symbol to symbol, learnt
// from the burst by least squares: at a symbol's centre, centre * its tone +
// side * its neighbours' (zero for pulses free of interference at the
// centres); at the boundary of two symbols, pair * their tones + outer * the
// next ones out.
struct FrequencyShape
{
    double centre = 1;
    double side = 0;
    double pair = 0.5;
    double outer = 0;
};

// Solves [sxx sxy; sxy syy] [a; b] = [sx; sy], or nothing when singular.
std::optional<std::pair<double, double>> solve2(double sxx, double sxy, double syy, double sx, double sy)
{
    const double det = sxx * syy - sxy * sxy;
    if (!(std::abs(det) > 1e-12 * std::max(1.0, sxx * syy)))
        return std::nullopt;
    return std::pair{(sx * syy - sy * sxy) / det, (sxx * sy - sxy * sx) / det};
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
                                     const FrequencyShape& shape)
{
    std::vector<int> symbols = first;
    const auto n = static_cast<long long>(y.size());
    const auto count = static_cast<long long>(centres.size());
    auto tone = [&](long long j) {
        return tones[static_cast<std::size_t>(first[static_cast<std::size_t>(std::clamp(j, 0LL, count - 1))])];
    };
    std::vector<Complex> turn;
    for (long long k = 0; k < count; ++k) {
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
            Complex acc = 0;
            for (long long i = lo; i <= hi; ++i) {
                const double u = (static_cast<double>(i) - c) / P;
                const double phase = 2 * pi * T * u * (middle + u * (b / 2 + u * q / 3));
                acc += y[static_cast<std::size_t>(i)] * std::polar(1.0, -phase);
            }
            if (std::norm(acc) > bestPower) {
                bestPower = std::norm(acc);
                symbols[static_cast<std::size_t>(k)] = static_cast<int>(m);
            }
        }
    }
    return symbols;
}

} // namespace

SymbolTrace symbolTraceOf(Modulation modulation)
{
    switch (modulation) {
    case Modulation::Fsk2:
    case Modulation::Fsk4:
        return SymbolTrace::Frequency;
    case Modulation::Bpsk:
    case Modulation::Qpsk:
        return SymbolTrace::Phase;
    default:
        return SymbolTrace::Amplitude;
    }
}

std::string RecoveredSymbols::bits() const
{
    return symbolBits(symbols, settings.levels);
}

RecoveredSymbols recoverSymbols(const BandSamples& band, const SymbolSettings& settings, WorkControl& control)
{
    checkSettings(band, settings);
    RecoveredSymbols out;
    out.settings = settings;
    out.trace = symbolTraceOf(settings.modulation);
    const double R = band.rate;
    const double P = R / settings.symbolRateHz;
    const int M = settings.levels;
    const double recordingRate = band.rate * band.decimation;
    auto seconds = [&](double position) {
        return static_cast<double>(band.firstInput) / recordingRate + position / R;
    };

    const auto window = static_cast<std::size_t>(std::max(1.0, std::round(P)));
    // A steady envelope's power is averaged over two symbols (noise stands out
    // less); keyed amplitudes' over one, so a lone symbol of a burst counts.
    const BurstSpan burst = burstExtent(band.y, out.trace == SymbolTrace::Amplitude ? window : 2 * window);
    if (!burst.found() || (burst.end - burst.first) / P < static_cast<double>(fewestSymbols))
        throw std::runtime_error("No burst of a few symbols stands out in the range");
    out.burstStartS = seconds(burst.first);
    out.burstEndS = seconds(burst.end);
    control.check();

    // The trace, the position in the band's samples its index 0 stands at,
    // and the clock of the symbols on it.
    const double origin = burst.first + P / 2;
    const auto gridSymbols = static_cast<std::size_t>(std::ceil((burst.end - burst.first) / P));
    std::vector<Complex> x;
    std::vector<double> r;
    double shift = 0;
    SymbolClock clock;
    std::vector<double> levels;
    if (out.trace == SymbolTrace::Frequency) {
        std::vector<Complex> turns(band.y.size() > 1 ? band.y.size() - 1 : 0);
        for (std::size_t k = 0; k + 1 < band.y.size(); ++k)
            turns[k] = band.y[k + 1] * std::conj(band.y[k]);
        // Turns summed over half a symbol before their angle: no clicks.
        const auto length = static_cast<std::size_t>(std::max(1.0, std::round(P / 2)));
        const std::vector<Complex> smooth = movingMean(turns, length);
        r.resize(smooth.size());
        const double hertz = R / (2 * pi);
        for (std::size_t k = 0; k < smooth.size(); ++k)
            r[k] = std::arg(smooth[k]) * hertz + band.centreCorrection;
        shift = 0.5 + shiftOf(length);
    } else {
        x = movingMean(band.y, window);
        shift = shiftOf(window);
        if (out.trace == SymbolTrace::Amplitude) {
            r.resize(x.size());
            for (std::size_t k = 0; k < x.size(); ++k)
                r[k] = std::abs(x[k]);
        }
    }
    control.check();
    if (out.trace == SymbolTrace::Phase) {
        clock = gardnerClock(x, origin - shift, P, gridSymbols);
    } else {
        const auto lo = static_cast<std::size_t>(std::max(0.0, burst.first - shift));
        const auto hi = static_cast<std::size_t>(std::clamp(burst.end - shift, 0.0, static_cast<double>(r.size())));
        levels = settings.slicerLevels.empty()
                     ? fitLevels(std::vector<double>(r.begin() + static_cast<std::ptrdiff_t>(std::min(lo, hi)),
                                                     r.begin() + static_cast<std::ptrdiff_t>(hi)),
                                 M)
                     : settings.slicerLevels;
        if (out.trace == SymbolTrace::Frequency) {
            std::vector<double> tones;
            for (double f : levels)
                tones.push_back(2 * pi * (f - band.centreCorrection) / R);
            clock = toneEnergyClock(band.y, tones, origin, P, gridSymbols);
            clock.origin -= shift;
        } else {
            clock = zeroCrossingClock(r, levels, origin - shift, P, gridSymbols);
        }
        if (settings.slicerLevels.empty() && out.trace == SymbolTrace::Amplitude) {
            // Levels from the whole trace lie inward of the symbols' own
            // (transitions pull them): again from the symbol centres found.
            std::vector<double> values;
            for (long long k = 0; k < static_cast<long long>(gridSymbols); ++k)
                values.push_back(interpolateAt(r, clock.centre(static_cast<double>(k))));
            levels = fitLevels(values, M);
            clock = zeroCrossingClock(r, levels, origin - shift, P, gridSymbols);
        }
    }
    control.check();
    // Noise has no clock: its blocks' zeros fall anywhere.
    if (clock.blocksUsed + clock.blocksRejected >= steadyBlocks && clock.spread > P * unsteadySpread)
        throw std::runtime_error("No steady symbol clock in the range at this rate: check the rate, the "
                                 "modulation and the band");

    // The symbols whose centres lie in the burst, a quarter symbol in from its edges.
    const double from = burst.first + P / 4, to = burst.end - P / 4;
    std::vector<double> centres;
    for (long long k = -4; k < static_cast<long long>(gridSymbols) + 4; ++k) {
        const double c = clock.centre(static_cast<double>(k)) + shift;
        if (c >= from && c <= to)
            centres.push_back(c - shift);
    }
    if (centres.size() < fewestSymbols)
        throw std::runtime_error("No burst of a few symbols stands out in the range");
    const double span = centres.back() - centres.front();
    out.recoveredRateHz = centres.size() > 1 ? R * static_cast<double>(centres.size() - 1) / span : settings.symbolRateHz;
    for (double c : centres)
        out.timesS.push_back(seconds(c + shift));

    if (out.trace == SymbolTrace::Phase) {
        std::vector<Complex> s;
        for (double c : centres)
            s.push_back(matchedAt(band.y, c + shift, P));
        const double w = removeCarrier(s, M);
        out.carrierOffsetHz = w * out.recoveredRateHz / (2 * pi) + band.centreCorrection;
        const double step = 2 * pi / M;
        const double first = pskOrigin(M);
        for (const Complex& v : s) {
            const double angle = std::arg(v);
            const long long n = std::llround((angle - first) / step);
            out.symbols.push_back(static_cast<int>(((n % M) + M) % M));
            out.values.push_back(angle * 180 / pi);
        }
        for (int k = 0; k < M; ++k)
            out.levels.push_back(std::remainder(first + k * step, 2 * pi) * 180 / pi);
        return out;
    }
    for (double c : centres)
        out.values.push_back(out.trace == SymbolTrace::Amplitude ? std::abs(matchedAt(band.y, c + shift, P))
                                                                 : interpolateAt(r, c));
    out.levels = settings.slicerLevels.empty() ? fitLevels(out.values, M) : settings.slicerLevels;
    if (out.trace == SymbolTrace::Frequency) {
        std::vector<double> tones, positions;
        for (double f : out.levels)
            tones.push_back(f - band.centreCorrection);
        for (double c : centres)
            positions.push_back(c + shift);
        out.symbols = toneDecisions(band.y, positions, P, tones, R);
        // The tones again, free of the trace's smoothing: each the mean turn
        // of the samples next to the centres of its symbols.
        if (settings.slicerLevels.empty()) {
            std::vector<Complex> turn(tones.size());
            for (std::size_t i = 0; i < positions.size(); ++i) {
                const auto n = static_cast<std::size_t>(std::floor(positions[i]));
                if (n >= 1 && n + 2 < band.y.size())
                    turn[static_cast<std::size_t>(out.symbols[i])] +=
                        band.y[n + 1] * std::conj(band.y[n - 1]) + band.y[n + 2] * std::conj(band.y[n]);
            }
            for (std::size_t j = 0; j < tones.size(); ++j)
                if (std::abs(turn[j]) > 0)
                    tones[j] = std::arg(turn[j]) * R / (4 * pi);
            std::sort(tones.begin(), tones.end());
            for (std::size_t j = 0; j < tones.size(); ++j)
                out.levels[j] = tones[j] + band.centreCorrection;
            out.symbols = toneDecisions(band.y, positions, P, tones, R);
        }
        for (int pass = 0; pass < 2; ++pass) {
            const FrequencyShape shape = learnShape(band.y, positions, P, tones, R, out.symbols);
            out.symbols = shapedToneDecisions(band.y, positions, P, tones, R, out.symbols, shape);
        }
    } else {
        out.thresholds = settings.slicerLevels.empty() ? fittedThresholds(out.values, out.levels)
                                                       : levelThresholds(out.levels);
        out.symbols = sliceLevels(out.values, out.levels, out.thresholds, settings.hysteresis);
    }
    return out;
}

ResolvedSymbolSettings resolveSymbolSettings(const BandSamples& band, const SymbolChoice& choice)
{
    ResolvedSymbolSettings resolved;
    SymbolSettings s;
    std::optional<SignalEstimate> estimate;
    if (!choice.symbolRateHz || !choice.modulation)
        estimate = estimateSignal(band.y, band.rate, band.centreCorrection, band.rate * band.decimation);
    if (choice.symbolRateHz)
        s.symbolRateHz = *choice.symbolRateHz;
    else if (estimate->symbolRateHz)
        s.symbolRateHz = *estimate->symbolRateHz;
    else
        resolved.rateMissing = true;
    if (choice.modulation)
        s.modulation = *choice.modulation;
    else if (modulationLevels(estimate->modulation) > 0)
        s.modulation = estimate->modulation;
    else
        resolved.modulationMissing = true;
    if (resolved.rateMissing || resolved.modulationMissing)
        return resolved;
    s.levels = choice.levels.value_or(modulationLevels(s.modulation));
    resolved.settings = s;
    return resolved;
}
