#pragma once
// Symmetric Hann window and the Welch estimate of the averaged power spectrum.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

// w[n] = (1 - cos(2*pi*n / (L - 1))) * 0.5 for n = 0 ... L - 1. L = 1 gives one NaN
// (0 / 0), L = 0 an empty window.
std::vector<double> hannWindow(size_t L);

// Welch estimate over x: segments of L samples, consecutive segments sharing V
// samples (hop L - V, at least 1), each Hann-weighted, zero-filled to N and
// transformed; returns N linear powers in FFT bin order (DC first, negative
// frequencies in the upper half), averaged over the segments and divided by the
// window power, not by the sample rate: white noise of power s^2 gives s^2 per bin.
// With fewer than L samples, the samples present form the one segment (window of
// their own length). Throws std::invalid_argument when L > N; N = 0 gives an empty result.
// With many segments, their transforms are shared out over `threads` threads (0:
// one per core) and joined before the return; each bin still adds up its segments
// in order, so the result has the same bits as with one thread.
std::vector<double> welchSpectrum(const std::vector<std::complex<double>>& x, uint32_t N, uint32_t L,
                                  uint32_t V, unsigned threads = 0);
// The same over `size` samples i[k] + j q[k], read in place from the two sequences.
std::vector<double> welchSpectrum(const double* i, const double* q, size_t size, uint32_t N,
                                  uint32_t L, uint32_t V, unsigned threads = 0);
