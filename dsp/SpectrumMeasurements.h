#pragma once
// Marker and band measurements of a Welch spectrum: peaks refined between bins,
// channel power, noise density, SNR, occupied bandwidth and mean frequency.

#include <cstdint>
#include <optional>
#include <span>

// A Welch spectrum and what its measurements need to know of how it was made.
// Bin m of the FFT order stands for m fs / N Hz for m < N - N/2 and (m - N) fs / N
// from there on; in the centred order (most negative first) bin j stands for
// (j - N/2) fs / N. A bin's power P is the density times fs: white noise of power
// s^2 per sample reads s^2 in every bin, its density is s^2 / fs per Hz.
struct MeasuredSpectrum
{
    std::span<const double> power; // N linear powers in FFT bin order, as welchSpectrum gives them
    double sampleRate;             // samples per second
    uint32_t segmentLength;        // L: samples per Hann-weighted segment (1 ... N)
    double effectiveSegments;      // K_eff of effectiveSegments() (>= 1)
};

// Sample values to watts as the power view computes them:
// p = V^2 (I^2 + Q^2) / FS^2 / 2 / R.
struct PowerCalibration
{
    double fullScaleValue;   // FS, the sample value of full scale
    double fullScaleVoltage; // V, the peak voltage at full scale, volts
    double inputImpedance;   // R, ohms
};

// Every measurement below is absent (std::nullopt) rather than wrong: when the
// spectrum has fewer than 2 bins, a sample rate that is not finite and positive,
// or any bin that is NaN, infinite or negative; when the band holds no bin; when
// the value would be the logarithm of zero; for values in dBm, when the calibration
// factor V^2 / FS^2 / 2 / R is not finite and positive; for the main lobe's power and
// the next peak, when segmentLength is 0 or above N; for the noise density and the
// SNR, when effectiveSegments is below 1 or not finite.

// A peak: the highest bin, refined between bins by the Hann window's own response:
// the offset delta (within half a bin) whose |W(1 - delta)|^2 / |W(-1 - delta)|^2
// is the ratio of the bin's two neighbours, W the transform of the L-point window
// zero-filled to N, and the density at the vertex the bin's less the window's loss
// |W(-delta)|^2 / |W(0)|^2 (the bin itself when a neighbour is zero or higher, as at
// a band edge cutting a slope; the parabola through the three in dB for L < 3).
// Neighbours are taken circularly, so -fs/2 and fs/2 - fs/N are neighbours. A lone
// tone reads within 1e-9 bin of its frequency at any offset and L, its density at the
// vertex within 1e-9 dB of a tone's on a bin centre, its power within 0.003 dB.
struct SpectrumMarker
{
    double frequencyHz;           // the vertex, baseband, wrapped into [-fs/2, fs/2)
    double densityDbHz;           // 10 log10(P / fs) at the vertex
    std::optional<double> powerDbm; // the main lobe's power, calibrated
};
// The Hann main lobe spans +-2 fs / L Hz: its power sums the bins within
// ceil(2 N / L) of the peak bin (+-2 bins when L = N), as sum P / N in squared
// sample units, then calibrated: a tone of amplitude A reads V^2 A^2 / FS^2 / 2 / R
// watts, whatever its offset from the bin centres. 0 (no power) for L = 0 or L > N.
uint32_t mainLobeHalfWidth(uint32_t N, uint32_t L);

// The highest bin of the band [lowHz, highHz] (baseband Hz; the bins the views
// show, dsp/BandRule.h; the lowest of equal ones), refined. Absent also when that bin's power is 0.
std::optional<SpectrumMarker> spectrumPeak(const MeasuredSpectrum& spectrum, double lowHz,
                                           double highHz, const PowerCalibration& calibration);

// A peak that stands out, the nearest one beyond fromHz in either direction: a bin
// of the band [lowHz, highHz] more than half a bin beyond fromHz (so a
// marker refined off its own peak bin never finds that peak again), which
//   - is the highest within mainLobeHalfWidth bins either side (ties: the lowest),
//     so a ripple on the slope of a lobe never counts, and
//   - has a prominence of at least excursionDb: on each side the spectrum falls
//     that far below it before it meets a higher bin, or reaches the end of the
//     spectrum first.
// Absent when there is none. The window's own response has peaks too: its sidelobes
// when the spectrum is zero-filled (L < N); with L = N, small ones far from a lone
// tone, some 85 dB (N = 64) to 150 dB (N = 1024) below it, found when nothing else is.
enum class PeakDirection { right, left };
constexpr double defaultPeakExcursionDb = 6.0;
std::optional<SpectrumMarker> nextPeak(const MeasuredSpectrum& spectrum, double fromHz,
                                       PeakDirection direction, double lowHz, double highHz,
                                       const PowerCalibration& calibration,
                                       double excursionDb = defaultPeakExcursionDb);

// Measurements of the bins the views show for [lowHz, highHz] (dsp/BandRule.h:
// from the bin at or below lowHz to the one at or above highHz), each bin standing
// for fs / N Hz around its centre (the band measured is thus binCount x binWidthHz
// wide).
struct BandMeasurements
{
    double bandLowHz;  // as asked
    double bandHighHz; // as asked
    uint32_t binCount;
    double binWidthHz; // fs / N; NaN when the spectrum is unusable
    // Calibrated sum P / N over the band. Over the whole band it is the mean of the
    // power view's watts per sample for a steady signal; in general each sample counts
    // with the squared Hann weights of the segments holding it, and samples after the
    // last whole segment not at all.
    std::optional<double> channelPowerDbm;
    // Of the uncalibrated samples: 10 log10(median / (chi-square median(2 K_eff) /
    // (2 K_eff)) / fs), the median over the band's bins (the mean of the middle two for
    // an even count), corrected for lying below the mean. It is the noise level when
    // noise fills more than half of the band's bins. For white noise its bias stays
    // below 0.1 dB and its spread (one standard deviation) is about
    // 8 / sqrt(binCount x K_eff) dB: 0.5 dB for 256 bins of one segment.
    std::optional<double> noiseDensityDbHz;
    // 10 log10((C - Nb) / Nb), C the band's power and Nb the noise density times the
    // band's width: the signal's power above the noise against the noise. Absent when
    // C <= Nb (nothing above the noise).
    std::optional<double> snrDb;
    double occupiedPercent; // p, as asked
    // The span left when (100 - p)/2 % of the band's power is cut from each side, the
    // power of a bin spread evenly over its width; its edges in baseband Hz.
    std::optional<double> occupiedBandwidthHz;
    std::optional<double> occupiedLowHz;
    std::optional<double> occupiedHighHz;
    std::optional<double> peakFrequencyHz; // spectrumPeak's frequency
    std::optional<double> meanFrequencyHz; // sum f P / sum P over the band
};
constexpr double defaultOccupiedPercent = 99.0;
// occupiedPercent in (0, 100]; outside it the occupied bandwidth is absent.
BandMeasurements measureBand(const MeasuredSpectrum& spectrum, double lowHz, double highHz,
                             const PowerCalibration& calibration,
                             double occupiedPercent = defaultOccupiedPercent);
