#pragma once
// The carrier of a phase keying taken out of its symbols' samples: its
// frequency from the M-th power's turn per symbol (from neighbours, then from
// symbols eight apart), its phase from the M-th power block by block,
// unwrapped by 2 pi / M and fitted by a line.

#include <complex>
#include <vector>

// Turns s so that its points lie at origin + 2 pi k / M; returns the
// carrier's frequency, radians per symbol.
double removeCarrier(std::vector<std::complex<double>>& s, int M, double origin);
