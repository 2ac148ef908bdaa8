#pragma once
// The slicer of a keyed signal's trace: its levels fitted by k-means from the
// trace's values (started from their quantiles), and each value given the
// number of its nearest level, with hysteresis.

#include <vector>

// `count` levels, ascending, that k-means (Lloyd's iterations in one
// dimension) fits to `values`; NaN values are left out. Fewer distinct values
// than levels give levels spread evenly over the values' range.
std::vector<double> fitLevels(std::vector<double> values, int count);

// The thresholds between adjacent levels (their midpoints), ascending.
std::vector<double> levelThresholds(const std::vector<double>& levels);

// Thresholds where the values' clusters around adjacent levels are equally
// likely, each cluster taken as Gaussian with its own spread and share of the
// values, except a lowest one whose spread says it is the envelope of noise
// alone (an OOK "off": Rayleigh). Midpoints where a cluster is too thin to
// tell.
std::vector<double> fittedThresholds(const std::vector<double>& values, const std::vector<double>& levels);

// The number (0 = lowest level) of each value's slot between the thresholds
// (ascending, one fewer than the levels). hysteresis, a fraction of the
// spacing of two adjacent levels: a value within it past the threshold
// between the previous symbol's level and a neighbour keeps the previous
// symbol. NaN keeps the previous symbol (0 at first).
std::vector<int> sliceLevels(const std::vector<double>& values, const std::vector<double>& levels,
                             const std::vector<double>& thresholds, double hysteresis);
