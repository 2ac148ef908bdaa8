// The signal estimate: the signal isolated in its band, its symbol-rate line,
// then its modulation from the envelope, the carrier's lines in z, z^2 and z^4
// and, for FSK, the tones.

#include "analysis/SignalEstimate.h"

#include "analysis/FskTones.h"
#include "analysis/LineSpectrum.h"
#include "analysis/OccupiedBand.h"
#include "analysis/SymbolRateLine.h"

#include <algorithm>
#include <cmath>

namespace {

// Fewer band samples than this give no estimate.
constexpr std::size_t minimumSamples = 256;
// Samples of the isolated signal the features and carrier lines read at most
// (the middle of a longer signal): beyond them a line is as sharp as needed.
constexpr std::size_t featureSamples = std::size_t(1) << 15;
constexpr std::size_t carrierSamples = std::size_t(1) << 14;
// Symbols the range must hold for a rate to count.
constexpr double minimumSymbols = 20;
// Probability that noise alone gives a carrier line.
constexpr double falseAlarm = 1e-2;
// Probability that noise alone gives a symbol-rate line; looser, since noise
// alone or a bare carrier rarely passes the occupied band's test to be
// searched for one.
constexpr double rateFalseAlarm = 5e-2;
// The envelope's normalised variance below which the signal is frequency keyed.
constexpr double constantEnvelope = 0.12;
// Below this the frequency-keying features are looked at too.
constexpr double nearlyConstantEnvelope = 0.3;
// The power's variance over its squared mean at the symbols' centres above
// which the keying is on-off (1 for on-off, 0.57 for four evenly spaced
// amplitudes).
constexpr double onOffSpread = 0.8;
// Share of the power a carrier must hold to be a carrier alone.
constexpr double carrierShare = 0.5;
// A carrier holding this share is one alone, whatever lines its noise shows
// (a keyed signal's carrier holds at most about half).
constexpr double bareCarrierShare = 0.8;

std::vector<std::complex<double>> middle(const std::vector<std::complex<double>>& z, std::size_t most)
{
    if (z.size() <= most)
        return z;
    const auto skip = static_cast<std::ptrdiff_t>((z.size() - most) / 2);
    return {z.begin() + skip, z.begin() + skip + static_cast<std::ptrdiff_t>(most)};
}

// The strongest line of z^power within `reach` hertz (of z^power) of 0 Hz,
// if it stands above noise; its hertz are those of z^power.
std::optional<LineSpectrum::Line> carrierLine(const std::vector<std::complex<double>>& z, double rate, int power,
                                              double reach, double* share = nullptr)
{
    std::vector<std::complex<double>> raised(z.size());
    for (std::size_t k = 0; k < z.size(); ++k) {
        std::complex<double> v = z[k];
        for (int p = 1; p < power; ++p)
            v *= z[k];
        raised[k] = v;
    }
    reach = std::min(reach, 0.45 * rate);
    LineSpectrum spectrum(raised.data(), raised.size(), rate);
    spectrum.useLocalMedian(64, -reach, reach);
    const auto line = spectrum.strongest(-reach, reach);
    const double threshold = lineThresholdDb(2 * reach / spectrum.binHz(), falseAlarm) + 3;
    if (!line || line->heightDb < threshold)
        return std::nullopt;
    if (share)
        *share = spectrum.share(*line, 3);
    return line;
}

// The envelope's variance over its squared mean, noise taken out.
double envelopeVariance(const std::vector<std::complex<double>>& z, double noise)
{
    double sum = 0, square = 0;
    for (const auto& v : z) {
        const double p = std::norm(v);
        sum += p;
        square += p * p;
    }
    const double n = static_cast<double>(z.size());
    const double mean = sum / n;
    const double variance = square / n - mean * mean;
    const double signal = mean - noise;
    if (signal <= 0)
        return INFINITY;
    return (variance - 2 * signal * noise - noise * noise) / (signal * signal);
}

} // namespace

SignalEstimate estimateSignal(const std::vector<std::complex<double>>& band, double rate,
                              double centreCorrection, double recordingRate)
{
    SignalEstimate out;
    if (band.size() < minimumSamples || !(rate > 0))
        return out;
    for (const auto& v : band)
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag()))
            return out;
    const OccupiedBand occupied(band.data(), band.size(), rate);
    if (!occupied.found()) {
        out.modulation = Modulation::Noise;
        return out;
    }
    const IsolatedSignal isolated = occupied.isolate(band.data(), band.size(), featureSamples);
    if (isolated.z.empty())
        return out;
    const double fz = isolated.rate;
    const double centre = isolated.centre + centreCorrection;
    out.frequencyOffsetHz = centre;

    const std::vector<std::complex<double>> z = middle(isolated.z, featureSamples);
    const std::vector<std::complex<double>> zc = middle(isolated.z, carrierSamples);
    const double n = static_cast<double>(z.size());
    const double lowest = minimumSymbols * fz / n;
    const double highest = std::min(0.49 * fz, 2 * isolated.halfWidth);
    const double reach = std::max(2 * occupied.binHz(), 0.05 * isolated.halfWidth);

    // A carrier alone: the line holds nearly all the power.
    double carrierPart = 0;
    const auto bare = carrierLine(zc, fz, 1, reach, &carrierPart);
    if (bare && carrierPart >= bareCarrierShare) {
        out.modulation = Modulation::Cw;
        out.frequencyOffsetHz = centre + bare->hz;
        return out;
    }
    const double envelope = envelopeVariance(z, isolated.noisePower);
    const auto line = findSymbolRateLine(z, fz, lowest, highest, rateFalseAlarm, envelope < nearlyConstantEnvelope, occupied.halfWidth());
    if (!line) {
        if (bare && carrierPart >= carrierShare) {
            out.modulation = Modulation::Cw;
            out.frequencyOffsetHz = centre + bare->hz;
        }
        return out;
    }
    out.symbolRateHz = line->hz;
    out.symbolRateConfidenceDb = line->heightDb;
    out.samplesPerSymbol = recordingRate / line->hz;

    if (envelope < constantEnvelope) {
        const auto tones = estimateFskTones(z, fz, line->hz);
        if (!tones)
            return out;
        out.modulation = tones->levels == 4 ? Modulation::Fsk4 : Modulation::Fsk2;
        out.frequencyOffsetHz = centre + tones->centre;
        out.fskDeviationHz = tones->deviation;
        std::vector<double> absolute;
        for (double t : tones->tones)
            absolute.push_back(centre + t);
        out.fskTonesHz = absolute;
        return out;
    }
    if (const auto carrier = carrierLine(zc, fz, 1, reach)) {
        // On-off or amplitude keyed: how the power at the symbols' centres
        // spreads, the noise's share taken out.
        std::vector<double> power(z.size());
        for (std::size_t k = 0; k < z.size(); ++k)
            power[k] = std::norm(z[k]);
        const std::vector<double> levels = perSymbol(power, fz / line->hz, true);
        double sum = 0, square = 0;
        for (double p : levels) {
            sum += p;
            square += p * p;
        }
        const double count = static_cast<double>(levels.size());
        const double noise = isolated.noisePower;
        const double mean = sum / count - noise;
        const double variance = square / count - (sum / count) * (sum / count) - 2 * mean * noise - noise * noise;
        out.modulation = mean > 0 && variance / (mean * mean) < onOffSpread ? Modulation::Ask : Modulation::Ook;
        out.frequencyOffsetHz = centre + carrier->hz;
    } else if (const auto doubled = carrierLine(zc, fz, 2, 2 * reach)) {
        out.modulation = Modulation::Bpsk;
        out.frequencyOffsetHz = centre + doubled->hz / 2;
    } else if (const auto quadrupled = carrierLine(zc, fz, 4, 4 * reach)) {
        out.modulation = Modulation::Qpsk;
        out.frequencyOffsetHz = centre + quadrupled->hz / 4;
    }
    return out;
}
