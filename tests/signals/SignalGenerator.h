#pragma once
// Known signals for the tests and benchmarks of what the trace, and the
// estimators built on it, find in a band: keyed FSK, BPSK, stepped tones,
// FM tones, bursts and white noise, all from fixed seeds, as I and Q
// sequences (no Qt, no file).

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsignals {

struct Iq
{
    std::vector<double> i;
    std::vector<double> q;
    std::size_t size() const { return i.size(); }
    // Appends another signal after this one.
    void append(const Iq& other);
    // Adds `other` sample by sample from sample `at` on (as far as this reaches).
    void add(const Iq& other, std::size_t at = 0);
};

// count bits of 0 and 1 from a fixed seed.
std::vector<int> randomBits(std::size_t count, uint32_t seed);

// Continuous-phase 2FSK: bit 1 at centre + deviation hertz, bit 0 at centre -
// deviation, each bit samplesPerSymbol samples long, at `rate`, amplitude a.
Iq fsk2(const std::vector<int>& bits, double rate, std::size_t samplesPerSymbol, double deviation,
        double centre, double amplitude);
// BPSK with rectangular symbols: a carrier at `centre` hertz whose phase is 0
// for bit 1 and 180 degrees for bit 0, starting at phase `phase0` radians.
Iq bpsk(const std::vector<int>& bits, double rate, std::size_t samplesPerSymbol, double centre,
        double amplitude, double phase0 = 0.0);
// A tone at `frequency` hertz whose amplitude steps through levelsDb (dB
// relative to `fullScale`), samplesPerStep samples each, phase continuous.
Iq steppedTone(const std::vector<double>& levelsDb, std::size_t samplesPerStep, double rate,
               double frequency, double fullScale);
// A carrier at `centre` hertz frequency-modulated by a sine of `modulation`
// hertz with a peak deviation of `deviation` hertz, amplitude a.
Iq fmTone(std::size_t count, double rate, double centre, double modulation, double deviation,
          double amplitude);
// A carrier at `centre` hertz whose amplitude is (1 + depth sin(2 pi modulation t)) a.
Iq amTone(std::size_t count, double rate, double centre, double modulation, double depth,
          double amplitude);
// Complex white Gaussian noise of mean power E|x|^2 = power.
Iq noise(std::size_t count, double power, uint32_t seed);
// count zeros.
Iq silence(std::size_t count);

} // namespace testsignals
