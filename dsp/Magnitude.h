#pragma once
// Complex magnitudes of many values at once, bit for bit what std::abs of each
// std::complex<double> gives.

#include <cstddef>

// out[k] = |re[k] + i im[k]| for k < count, exactly as std::abs computes it.
void magnitudes(const double* re, const double* im, size_t count, double* out);

// Whether magnitudes() uses its vector path on this machine: true when the
// processor has AVX2 and the path reproduced the C library's results on a
// fixed set of probe values when first asked.
bool fastMagnitudesEnabled();
