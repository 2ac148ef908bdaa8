#pragma once
// The spectrum view's curve: linear powers in FFT order turned into dB in
// centred order and cut to a frequency band.

#include "dsp/BandRule.h"

#include <cstdint>
#include <vector>

// r[j] = 10*log10(P[N/2 + j] + eps) and r[N/2 + j] = 10*log10(P[j] + eps) for
// j < N/2: the most negative frequency first, DC at N/2. Empty for fewer than two values.
std::vector<double> centredDb(const std::vector<double>& power);

// Bins firstBin ... firstBin + count - 1 of a centred N-point spectrum covering
// startFrequency ... stopFrequency (Hz) by the band rule (dsp/BandRule.h), kept within
// 0 ... N - 1; count is 0 when nothing of the band is left (or without a sample rate).
struct SpectrumBand
{
    uint32_t firstBin;
    uint32_t count;
};
SpectrumBand spectrumBand(double sampleRate, uint32_t N, double startFrequency,
                          double stopFrequency);

// The points of the band: frequency[l] = ((firstBin + l) - N/2) / N * fs in Hz and
// power[l] the power spectral density of bin firstBin + l of the centred order in
// dB/Hz, 10*log10(P / fs + eps): the Welch powers divided by the sample rate, the
// density of scipy.signal.welch's "density" scaling.
struct SpectrumCurve
{
    std::vector<double> frequency;
    std::vector<double> power;
};
SpectrumCurve spectrumCurve(const std::vector<double>& power, double sampleRate,
                            double startFrequency, double stopFrequency);

// What turns a spectrogram cell, 10*log10(|X|^2 / (N * fs)) of the FFT X of an
// N-point Hann-weighted segment, into the power spectral density of a Welch
// estimate of that segment (scipy's "density": |X|^2 / (fs * sum w^2)), in dB:
// 10*log10(N / sum w^2). NaN when the window has no power (N < 3).
double densityCorrectionDb(uint32_t N);
