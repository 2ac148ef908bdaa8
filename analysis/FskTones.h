#pragma once
// The tones of a frequency-keyed signal at a known symbol rate: its mean
// frequency over each symbol (windows aligned where their spread is widest),
// sorted into 2 or 4 levels, and the centre and deviation fitted to those
// means by least squares with the neighbouring symbols' spill-over as further
// unknowns: the deviation is then the sum of the fitted weights, the tone of a
// long run of one symbol, whatever the frequency pulse's shape.

#include <complex>
#include <optional>
#include <vector>

struct FskTones
{
    int levels = 2;
    // Hertz, relative to z's 0 Hz.
    double centre = 0;
    // Half the spacing of adjacent tones.
    double deviation = 0;
    // Ascending: centre + (2 s - (levels - 1)) deviation.
    std::vector<double> tones;
};

// The symbol levels a set of values falls into: 2 or 4 (by how much of their
// spread four clusters take up over two, and whether the four are evenly spaced).
int levelCount(const std::vector<double>& values);
// Cluster centres of one-dimensional values (k-means, ascending).
std::vector<double> clusterCentres(std::vector<double> values, int k);

// Nothing when z holds fewer than a few dozen symbols; z at `rate`.
std::optional<FskTones> estimateFskTones(const std::vector<std::complex<double>>& z, double rate,
                                         double symbolRate);

// Values of `trace` (one per sample) averaged over each symbol period,
// windows started where their spread is widest (tried at 16 phases), or taken
// at the symbol centres when `centres` (interpolated). With `alongside`, the
// same windows' means of that trace go to alongsideMeans.
std::vector<double> perSymbol(const std::vector<double>& trace, double samplesPerSymbol, bool centres,
                              const std::vector<double>* alongside = nullptr,
                              std::vector<double>* alongsideMeans = nullptr);
