#pragma once
// Where a burst lies in a band's samples: the squelch of its power, averaged
// over about a symbol, set halfway (linear power) between the noise floor and
// the burst's own level, so that the edges fall where the averaging window is
// half inside the burst.

#include <complex>
#include <cstddef>
#include <vector>

struct BurstSpan
{
    // Samples [first, end) of the band; empty when nothing stands out.
    double first = 0;
    double end = 0;
    // Mean power per sample of the noise floor and of the burst.
    double floor = 0;
    double level = 0;
    bool found() const { return end > first; }
};

// The span from the first to the last run of the averaged power over the
// squelch that lasts at least half a window (`window` samples, about one
// symbol). When the power never stands out of its floor by 6 dB, the whole of
// the samples is the burst (a range cut inside it).
BurstSpan burstExtent(const std::vector<std::complex<double>>& y, std::size_t window);
