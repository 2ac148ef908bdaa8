#pragma once
// Fine edges of a burst from the samples around a coarse region: the occupied
// band from the region's spectrum (bins standing 20 dB below the peak or less,
// edges where the power falls to half the band's level), the start and stop
// from the band's power in time (the stretch that best fits "burst here, noise
// around", found as the largest sum of power over a level between the noise's
// and the burst's). One region may give several bursts, or none when its
// energy over the noise is not significant.

#include "dsp/BurstDetector.h"
#include "dsp/BurstRegions.h"

#include <vector>

class SampleSource;
class WorkControl;

struct BurstNoise
{
    // Per grid bin, the noise's mean |X|^2.
    std::vector<double> binPower;
    // Bins of the band: [firstBin, endBin).
    uint32_t firstBin = 0;
    uint32_t endBin = 0;
    // Standard deviations of in-band energy a burst needs.
    double acceptSigmas = 3.0;
};

std::vector<Burst> burstsInRegion(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise,
                                  const BurstRegion& region, WorkControl& control);
