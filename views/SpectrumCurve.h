#pragma once
// The spectrum view's curve: linear powers in FFT order turned into dB in
// centred order and cut to a frequency band.

#include <cstdint>
#include <vector>

// r[j] = 10*log10(P[N/2 + j] + eps) and r[N/2 + j] = 10*log10(P[j] + eps) for
// j < N/2: the most negative frequency first, DC at N/2. Empty for fewer than two values.
std::vector<double> centredDb(const std::vector<double>& power);

// Bins firstBin ... firstBin + count - 1 of a centred N-point spectrum covering
// startFrequency ... stopFrequency (Hz): firstBin = floor((start + half) / fs * (N - 1)),
// last = ceil((stop + half) / fs * (N - 1)), half = floor(sampleRate / 2). Both are
// kept within 0 ... N - 1; count is 0 when nothing of the band is left (or
// without a sample rate).
struct SpectrumBand
{
    uint32_t firstBin;
    uint32_t count;
};
SpectrumBand spectrumBand(uint32_t sampleRate, uint32_t N, double startFrequency,
                          double stopFrequency);

// The points of the band: frequency[l] = ((firstBin + l) - N/2) / N * fs in Hz and
// power[l] = centred[firstBin + l] in dB.
struct SpectrumCurve
{
    std::vector<double> frequency;
    std::vector<double> power;
};
SpectrumCurve spectrumCurve(const std::vector<double>& power, uint32_t sampleRate,
                            double startFrequency, double stopFrequency);
