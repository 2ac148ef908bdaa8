// The symbol recovery's chain.

#include "analysis/SymbolRecovery.h"

#include "analysis/BurstExtent.h"
#include "analysis/MatchedFilter.h"
#include "analysis/PskCarrier.h"
#include "analysis/SymbolBits.h"
#include "analysis/SymbolSlicer.h"
#include "analysis/ToneDecisions.h"
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
// FSK symbols whose second tone's energy comes this close to the first's
// are decided again with the frequency's shape.
constexpr double doubtfulCloseness = 0.3;

using Complex = std::complex<double>;

// The moving mean of `length` values: out[i] is the mean of in[i - h ...
// i - h + length), h = (length - 1) / 2, cut at the ends; it stands
// ((length - 1) / 2 - h) samples after in[i].
template <typename T>
std::vector<T> movingMean(const std::vector<T>& in, std::size_t length)
{
    const std::size_t n = in.size();
    const std::size_t h = (length - 1) / 2;
    std::vector<T> out(n);
    // A running sum over [lo, hi), restarted every few thousand samples so
    // that rounding cannot build up.
    T sum{};
    std::size_t lo = 0, hi = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t from = k - std::min(k, h);
        const std::size_t to = std::min(n, from + length);
        if (k % 4096 == 0) {
            sum = T{};
            for (std::size_t i = from; i < to; ++i)
                sum += in[i];
            lo = from;
            hi = to;
        }
        for (; hi < to; ++hi)
            sum += in[hi];
        for (; lo < from; ++lo)
            sum -= in[lo];
        out[k] = sum / static_cast<double>(to - from);
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

    // The symbols whose centres lie in the burst: its edges, half a symbol
    // before the first centre and after the last, may be off by up to half a
    // symbol either way.
    const double from = burst.first, to = burst.end;
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
        const MatchedFilter matched(P);
        std::vector<Complex> s;
        for (double c : centres)
            s.push_back(matched.at(band.y, c + shift));
        const double w = removeCarrier(s, M, pskOrigin(M));
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
    const MatchedFilter matched(P);
    for (double c : centres)
        out.values.push_back(out.trace == SymbolTrace::Amplitude ? std::abs(matched.at(band.y, c + shift))
                                                                 : interpolateAt(r, c));
    out.levels = settings.slicerLevels.empty() ? fitLevels(out.values, M) : settings.slicerLevels;
    if (out.trace == SymbolTrace::Frequency) {
        std::vector<double> tones, positions;
        for (double f : out.levels)
            tones.push_back(f - band.centreCorrection);
        for (double c : centres)
            positions.push_back(c + shift);
        std::vector<double> closeness;
        out.symbols = toneDecisions(band.y, positions, P, tones, R, &closeness);
        // The tones again, free of the trace's smoothing: each from the mean
        // turn over two samples around the centres of its symbols (the band's
        // noise, correlated between neighbouring samples, pulls single-sample
        // turns towards the band's centre), its ambiguity of half the band's
        // rate resolved by the single-sample turn (a tone may lie anywhere).
        if (settings.slicerLevels.empty()) {
            std::vector<Complex> single(tones.size()), twice(tones.size());
            for (std::size_t i = 0; i < positions.size(); ++i) {
                const auto n = static_cast<std::size_t>(std::floor(positions[i]));
                if (n < 1 || n + 2 >= band.y.size())
                    continue;
                const auto j = static_cast<std::size_t>(out.symbols[i]);
                single[j] += band.y[n + 1] * std::conj(band.y[n]);
                twice[j] += band.y[n + 1] * std::conj(band.y[n - 1]) + band.y[n + 2] * std::conj(band.y[n]);
            }
            for (std::size_t j = 0; j < tones.size(); ++j) {
                if (!(std::abs(twice[j]) > 0))
                    continue;
                const double coarse = std::arg(single[j]) * R / (2 * pi);
                const double fine = std::arg(twice[j]) * R / (4 * pi);
                tones[j] = fine + std::round((coarse - fine) / (R / 2)) * (R / 2);
            }
            std::sort(tones.begin(), tones.end());
            for (std::size_t j = 0; j < tones.size(); ++j)
                out.levels[j] = tones[j] + band.centreCorrection;
            out.symbols = toneDecisions(band.y, positions, P, tones, R, &closeness);
        }
        // Two tones far apart need no shaping; more do, where the tone held
        // over the symbol leaves a doubt (the others are not worth the cost).
        std::vector<bool> doubtful(closeness.size());
        for (std::size_t k = 0; k < closeness.size(); ++k)
            doubtful[k] = closeness[k] > doubtfulCloseness;
        for (int pass = 0; pass < (M > 2 ? 2 : 0); ++pass) {
            const FrequencyShape shape = learnShape(band.y, positions, P, tones, R, out.symbols);
            out.symbols = shapedToneDecisions(band.y, positions, P, tones, R, out.symbols, shape, doubtful);
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
