#pragma once
// Recordings of bursts in noise for the burst detector's tests and benchmark:
// band-limited Gaussian bursts (flat over their band, nothing outside it) at a
// given in-band SNR in complex white noise, from fixed seeds.

#include "tests/signals/SignalGenerator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsignals {

struct BurstPlan
{
    std::size_t start = 0;
    std::size_t length = 0;
    // The band in hertz (baseband) and the burst's power over the noise's in it, dB.
    double low = 0.0;
    double high = 0.0;
    double snrDb = 0.0;
};

// count samples of complex Gaussian noise flat over [low, high] hertz at
// `rate` and zero elsewhere, of mean power exactly `power` over the count.
Iq bandLimitedNoise(std::size_t count, double rate, double low, double high, double power, uint32_t seed);

// White noise of mean power noisePower (density noisePower / rate) plus the
// planned bursts, each of power snr * noisePower * (high - low) / rate.
Iq burstRecording(std::size_t count, double rate, double noisePower, const std::vector<BurstPlan>& bursts,
                  uint32_t seed);

// Bursts of the given length, bandwidth and SNR one after the other with
// `gap` samples between them (and before the first), centred at random
// frequencies that keep them inside +-rate/2, from a fixed seed.
std::vector<BurstPlan> burstTrain(std::size_t count, std::size_t length, double bandwidth, double snrDb,
                                  std::size_t gap, double rate, uint32_t seed);

} // namespace testsignals
