#pragma once
// The symbol rate as a line in the spectra of cyclic features of a signal at
// baseband: |z|^2 (amplitude keying), |z[n] - z[n-1]|^2 (phase keying, on the
// band-limited z) and, for frequency keying, the instantaneous frequency's
// distance from the nearest tone (2 or 4 tones, at several smoothings),
// z[n] conj(z[n - lag]) and the largest power through a bank of four filters
// over the occupied band. The strongest line over its local median wins; a
// line at a half or a third of it, where one stands out, is the rate and the
// first a harmonic.

#include <complex>
#include <cstddef>
#include <optional>
#include <vector>

struct SymbolRateLine
{
    double hz = 0;
    // The line's height over its spectrum's local median, dB.
    double heightDb = 0;
};

// The rate between lowHz and highHz, if a line stands above the threshold a
// false alarm rate of `falseAlarm` sets for noise alone; z at `rate`;
// frequencyKeyed adds the tone-distance and lag-product features and, given
// the signal's occupied half-width occupiedHz, the filter bank's.
std::optional<SymbolRateLine> findSymbolRateLine(const std::vector<std::complex<double>>& z, double rate,
                                                 double lowHz, double highHz, double falseAlarm,
                                                 bool frequencyKeyed, double occupiedHz = 0);
