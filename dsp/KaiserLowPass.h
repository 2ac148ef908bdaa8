#pragma once
// Linear-phase low-pass FIR filters by the Kaiser window method, designed in
// double so that every platform gets the same taps.

#include <cstddef>
#include <vector>

// Taps of a low-pass filter that passes [0, passEdge] and attenuates
// [stopEdge, 0.5] by at least attenuationDb (above 50 dB), edges in cycles per
// sample with 0 <= passEdge < stopEdge <= 0.5. The count is odd, the taps
// symmetric about the middle one and their sum 1 (unit gain at 0 Hz). Throws
// std::invalid_argument for edges out of order or more than maxTaps taps.
std::vector<double> kaiserLowPass(double passEdge, double stopEdge, double attenuationDb,
                                  std::size_t maxTaps);

// |H(f)| of the symmetric filter taps at frequency cycles per sample (linear,
// 1 for unit gain), for checks and measurements.
double symmetricFirMagnitude(const std::vector<double>& taps, double frequency);
