// Centring, dB conversion and band cut of the spectrum view's curve.

#include "plotdata/SpectrumCurve.h"

#include "dsp/Spectrum.h"
#include "plotdata/PlotMath.h"

#include <cmath>
#include <limits>

std::vector<double> centredDb(const std::vector<double>& power)
{
    const size_t n = power.size();
    if (n < 2)
        return {};
    const size_t h = n / 2;
    std::vector<double> r(n);
    for (size_t j = 0; j < h; ++j)
        r[j] = 10 * std::log10(power[h + j] + powerFloor);
    for (size_t j = 0; j < h; ++j)
        r[h + j] = 10 * std::log10(power[j] + powerFloor);
    return r;
}

SpectrumBand spectrumBand(double sampleRate, uint32_t N, double startFrequency,
                          double stopFrequency)
{
    if (N < 2 || !(sampleRate > 0))
        return {0, 0};
    const double fs = sampleRate;
    const double top = static_cast<double>(N - 1);
    const double first = bandStartPosition(fs, N, startFrequency);
    const double last = bandStopPosition(fs, N, stopFrequency);
    if (std::isnan(first) || std::isnan(last) || last < 0 || first > top || last < first)
        return {0, 0};
    const uint32_t kS = first < 0 ? 0 : static_cast<uint32_t>(first);
    const uint32_t kE = last > top ? N - 1 : static_cast<uint32_t>(last);
    return {kS, kE - kS + 1};
}

SpectrumCurve spectrumCurve(const std::vector<double>& power, double sampleRate,
                            double startFrequency, double stopFrequency)
{
    SpectrumCurve curve;
    // Power spectral density per hertz: the bins' powers over the sample rate.
    std::vector<double> density(power);
    if (sampleRate > 0)
        for (double& p : density)
            p /= sampleRate;
    const std::vector<double> r = centredDb(density);
    const uint32_t N = static_cast<uint32_t>(r.size());
    const SpectrumBand band = spectrumBand(sampleRate, N, startFrequency, stopFrequency);
    const double fs = sampleRate;
    const double h = static_cast<double>(N / 2);
    const double size = static_cast<double>(N);
    curve.frequency.resize(band.count);
    curve.power.resize(band.count);
    for (uint32_t l = 0; l < band.count; ++l) {
        curve.frequency[l] = (static_cast<double>(band.firstBin + l) - h) / size * fs;
        curve.power[l] = r[band.firstBin + l];
    }
    return curve;
}

double densityCorrectionDb(uint32_t N)
{
    // One window a size: the readout asks again at every pointer move.
    thread_local uint32_t size = 0;
    thread_local double correction = 0;
    if (N != size) {
        double power = 0;
        for (double w : hannWindow(N))
            power += w * w;
        correction = power > 0 ? 10 * std::log10(static_cast<double>(N) / power)
                               : std::numeric_limits<double>::quiet_NaN();
        size = N;
    }
    return correction;
}
