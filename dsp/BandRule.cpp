// The band rule's two edges.

#include "dsp/BandRule.h"

#include <cmath>
#include <limits>

namespace {

// hertz / fs * N + N/2, the unrounded bin position of a frequency.
double bandPosition(double fs, uint32_t N, double hertz)
{
    if (N < 1 || !(fs > 0))
        return std::numeric_limits<double>::quiet_NaN();
    return hertz / fs * static_cast<double>(N) + static_cast<double>(N / 2);
}

} // namespace

double bandStartPosition(double fs, uint32_t N, double hertz)
{
    return std::floor(bandPosition(fs, N, hertz));
}

double bandStopPosition(double fs, uint32_t N, double hertz)
{
    return std::ceil(bandPosition(fs, N, hertz));
}
