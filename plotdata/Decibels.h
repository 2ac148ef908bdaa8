#pragma once
// Fast 10 * log10(x) for arrays of powers, within 1e-11 dB of the library
// logarithm: the power curve needs one per sample.

#include <cstddef>

// 10 * log10(x). Positive normal x take a short series (equal on every machine);
// zero, negative, subnormal and non-finite x go to std::log10.
double decibels(double x);

// values[k] = decibels(values[k] * factor + 2^-52) for k = 0 ... n - 1, four at a
// time where the processor allows; the results equal the scalar ones bit for bit.
void decibelsInPlace(double* values, size_t n, double factor);
