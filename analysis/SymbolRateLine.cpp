// The symbol-rate line of a signal's cyclic features.

#include "analysis/SymbolRateLine.h"

#include "analysis/FskTones.h"
#include "analysis/LineSpectrum.h"

#include <algorithm>
#include <cmath>

namespace {

// Bins per block of the local median.
constexpr std::size_t medianBlock = 64;
// Bins either side of rate / d searched for the fundamental.
constexpr std::size_t harmonicSpan = 3;
// Taking a harmonic for the rate is worse than missing a weak signal: the
// lines below the strongest must stand out further.
constexpr double harmonicFalseAlarm = 1e-6;
// A line this far below the strongest is no fundamental of it: the sampling
// of pulses that are not quite band-limited leaves faint lines at fractions
// of the rate.
constexpr double harmonicDrop = 15;
// Samples the frequency is smoothed over for the tone-distance features: the
// line is strongest near a third of a symbol.
constexpr std::size_t smoothings[] = {2, 3, 5, 8};
// Lags of the lag-product features of frequency keying.
constexpr std::size_t lags[] = {3, 5};
// Filters of the tone bank over the occupied band.
constexpr int toneBands = 4;
// The bank's boxcar lengths, in units of the inverse of a quarter of the
// occupied half-width: about one symbol for a deviation of half the rate
// (tones one rate apart), and twice that for tones two rates apart.
constexpr double bankLengths[] = {1, 2};
constexpr double pi = 3.14159265358979323846;

void removeMean(std::vector<double>& x)
{
    double mean = 0;
    for (double v : x)
        mean += v;
    mean /= static_cast<double>(x.size());
    for (double& v : x)
        v -= mean;
}

// The instantaneous frequency (radians per sample) from the turn between
// samples summed over `length` samples.
std::vector<double> smoothedFrequency(const std::vector<std::complex<double>>& turn, std::size_t length)
{
    std::vector<double> frequency(turn.size());
    std::complex<double> sum = 0;
    for (std::size_t k = 0; k < turn.size(); ++k) {
        sum += turn[k];
        if (k >= length)
            sum -= turn[k - length];
        frequency[k] = std::arg(sum);
    }
    return frequency;
}

// How far the frequency is from the nearest of `levels` tones (clusters of
// its values): zero at every symbol's centre whatever the symbols, so its
// mean repeats at the symbol rate with little of the data's own noise.
std::vector<double> toneDistance(const std::vector<double>& frequency, int levels)
{
    std::vector<double> sample;
    const std::size_t step = std::max<std::size_t>(1, frequency.size() / 8192);
    for (std::size_t k = 0; k < frequency.size(); k += step)
        sample.push_back(frequency[k]);
    const std::vector<double> tones = clusterCentres(std::move(sample), levels);
    std::vector<double> distance(frequency.size());
    for (std::size_t k = 0; k < frequency.size(); ++k) {
        double nearest = INFINITY;
        for (double t : tones)
            nearest = std::min(nearest, std::abs(frequency[k] - t));
        distance[k] = nearest;
    }
    return distance;
}

// The largest of the powers of z through four filters (boxcar sums of
// `factor` times the inverse of a quarter of occupiedHz) that tile
// [-occupiedHz, occupiedHz], sample by sample: a noncoherent detector of the
// tones, full while a symbol lasts and dipping where the symbols change, with
// the noise of a band about a symbol rate wide rather than the whole signal's.
// Nothing when the boxcar is too long for z.
std::vector<double> strongestOfToneBank(const std::vector<std::complex<double>>& z, double rate,
                                        double occupiedHz, double factor)
{
    const std::size_t n = z.size();
    const double spacing = 2 * occupiedHz / toneBands;
    const auto length = static_cast<std::size_t>(std::max(2.0, std::round(factor * rate / (occupiedHz / 2))));
    if (length * 16 > n)
        return {};
    std::vector<double> strongest(n, 0.0);
    std::vector<std::complex<double>> mixed(n);
    for (int b = 0; b < toneBands; ++b) {
        const double w = 2 * pi * (-occupiedHz + (b + 0.5) * spacing) / rate;
        // The mixing phasor turned sample by sample, set afresh every block.
        std::complex<double> phasor = 1;
        const std::complex<double> turn = std::polar(1.0, -w);
        for (std::size_t k = 0; k < n; ++k) {
            if (k % 256 == 0)
                phasor = std::polar(1.0, -w * static_cast<double>(k));
            mixed[k] = z[k] * phasor;
            phasor *= turn;
        }
        std::complex<double> sum = 0;
        for (std::size_t k = 0; k < n; ++k) {
            sum += mixed[k];
            if (k >= length)
                sum -= mixed[k - length];
            strongest[k] = std::max(strongest[k], std::norm(sum));
        }
    }
    return strongest;
}

// The real part of z[k] conj(z[k - lag]): within a symbol the cosine of the
// tone's turn over `lag` samples, the same for tones either side of the
// centre, so that it changes mostly where the symbols change.
std::vector<double> lagProduct(const std::vector<std::complex<double>>& z, std::size_t lag)
{
    const std::size_t n = z.size();
    std::vector<double> product(n);
    for (std::size_t k = lag; k < n; ++k)
        product[k] = (z[k] * std::conj(z[k - lag])).real();
    for (std::size_t k = 0; k < lag; ++k)
        product[k] = product[lag];
    return product;
}

// The bin of the padded spectra of n samples.
double spectraBin(std::size_t n, double rate)
{
    std::size_t size = 2;
    while (size < 2 * n)
        size *= 2;
    return rate / static_cast<double>(size);
}

} // namespace

std::optional<SymbolRateLine> findSymbolRateLine(const std::vector<std::complex<double>>& z, double rate,
                                                 double lowHz, double highHz, double falseAlarm,
                                                 bool frequencyKeyed, double occupiedHz)
{
    const std::size_t n = z.size();
    if (n < 64 || highHz <= lowHz)
        return std::nullopt;
    std::vector<std::vector<double>> features;
    std::vector<double> amplitude(n), difference(n);
    for (std::size_t k = 0; k < n; ++k) {
        amplitude[k] = std::norm(z[k]);
        difference[k] = k ? std::norm(z[k] - z[k - 1]) : 0.0;
    }
    difference[0] = difference[1];
    features.push_back(std::move(amplitude));
    features.push_back(std::move(difference));
    if (frequencyKeyed) {
        std::vector<std::complex<double>> turn(n);
        for (std::size_t k = 1; k < n; ++k)
            turn[k] = z[k] * std::conj(z[k - 1]);
        turn[0] = turn[1];
        for (std::size_t length : smoothings) {
            if (length * 64 > n)
                break;
            const std::vector<double> frequency = smoothedFrequency(turn, length);
            for (int levels : {2, 4})
                features.push_back(toneDistance(frequency, levels));
        }
        if (occupiedHz > 0)
            for (double factor : bankLengths) {
                std::vector<double> strongest = strongestOfToneBank(z, rate, occupiedHz, factor);
                if (!strongest.empty())
                    features.push_back(std::move(strongest));
            }
        for (std::size_t lag : lags) {
            if (lag * 64 > n)
                break;
            features.push_back(lagProduct(z, lag));
        }
    }
    for (auto& f : features)
        removeMean(f);
    std::vector<LineSpectrum> spectra;
    for (std::size_t f = 0; f < features.size(); f += 2) {
        const std::vector<double>& b = f + 1 < features.size() ? features[f + 1] : std::vector<double>(n, 0.0);
        auto [sa, sb] = LineSpectrum::ofReal(features[f].data(), b.data(), n, rate);
        spectra.push_back(std::move(sa));
        if (f + 1 < features.size())
            spectra.push_back(std::move(sb));
    }
    // Backgrounds from the search's lowest third of a harmonic up.
    const double lowBackground = lowHz / 3 - medianBlock * spectraBin(n, rate);
    for (LineSpectrum& s : spectra)
        s.useLocalMedian(medianBlock, lowBackground, highHz);
    // The features' spectra added, each over its own background: lines the
    // features share add up, their noise less so.
    std::vector<double> sum(spectra.front().size(), 0.0);
    for (const LineSpectrum& s : spectra) {
        const std::vector<double> ratio = s.normalised();
        for (std::size_t k = 0; k < sum.size(); ++k)
            sum[k] += ratio[k];
    }
    spectra.push_back(LineSpectrum::ofPowers(std::move(sum), rate));
    spectra.back().useLocalMedian(medianBlock, lowBackground, highHz);
    const LineSpectrum& a = spectra.front();

    const double bins = (highHz - lowHz) / a.binHz() * static_cast<double>(spectra.size());
    const double threshold = lineThresholdDb(bins, falseAlarm);
    std::optional<LineSpectrum::Line> best;
    for (const LineSpectrum& s : spectra) {
        const auto line = s.strongest(lowHz, highHz);
        if (line && (!best || line->heightDb > best->heightDb))
            best = line;
    }
    if (!best || best->heightDb < threshold)
        return std::nullopt;

    // A harmonic: the rate is a half or a third of it where a line stands
    // out there in any of the features.
    const double harmonicThreshold = lineThresholdDb(static_cast<double>(spectra.size() * (2 * harmonicSpan + 1) * 2), harmonicFalseAlarm);
    for (int round = 0; round < 3; ++round) {
        bool lowered = false;
        for (int d : {2, 3}) {
            const double at = best->hz / d;
            if (at < lowHz)
                continue;
            std::optional<LineSpectrum::Line> sub;
            for (const LineSpectrum& s : spectra) {
                const auto line = s.near(at, harmonicSpan);
                if (line && (!sub || line->heightDb > sub->heightDb))
                    sub = line;
            }
            if (sub && sub->heightDb >= harmonicThreshold && sub->heightDb >= best->heightDb - harmonicDrop) {
                best = sub;
                lowered = true;
                break;
            }
        }
        if (!lowered)
            break;
    }
    return SymbolRateLine{best->hz, best->heightDb};
}
