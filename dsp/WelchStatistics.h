#pragma once
// How the Welch estimate of white noise is distributed: the number of independent
// segments an average of overlapping Hann-weighted segments is worth, and the
// chi-square median that turns a median bin into a mean level.

#include <cstdint>

// K_eff of an average over `segments` (K) Hann-weighted segments of `length` (L)
// samples, each starting `hop` samples after the previous one (0 counts as 1): for
// complex white noise every averaged bin then has variance mean^2 / K_eff and is close
// to mean x chi-square(2 K_eff) / (2 K_eff). Welch's formula
//   K_eff = K / (1 + 2 sum_{j=1}^{K-1} (1 - j/K) c(j hop)^2),
//   c(d) = sum_n w[n] w[n + d] / sum_n w[n]^2, w = hannWindow(L),
// so 1 <= K_eff <= K (50 % overlap: c = 0.167, K_eff about K / 1.056). The three
// arguments are WelchAccumulator's segmentCount(), segmentLength() and hop().
// NaN for K = 0 or L < 3 (the window holds no power).
double effectiveSegments(uint64_t segments, uint32_t length, uint32_t hop);

// Median of the chi-square distribution with `dof` degrees of freedom (any real
// dof >= 1; the chi-square(2) median is 2 ln 2), to about 1e-13 relative. NaN for dof
// below 1 or NaN.
double chiSquareMedian(double dof);
