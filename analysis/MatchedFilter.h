#pragma once
// The matched filter of root-raised-cosine pulses (roll-off 0.35, the most
// common) evaluated at any fractional position: a symbol's own pulse gives its
// amplitude. The taps are kept for positions a 64th of a sample apart.

#include <complex>
#include <cstddef>
#include <vector>

class MatchedFilter
{
public:
    // P samples a symbol.
    explicit MatchedFilter(double P);
    // The output at position c (samples, fractional) of y.
    std::complex<double> at(const std::vector<std::complex<double>>& y, double c) const;

private:
    static constexpr std::size_t phases = 64;
    long long reach = 0;
    std::vector<double> taps;
    double scale = 1;
};
