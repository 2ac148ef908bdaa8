#pragma once
// Keyed signals with known symbols for judging estimators and symbol recovery:
// OOK, 4-level ASK, 2FSK, 4FSK, BPSK and QPSK at any (non-integer) number of
// samples per symbol, with a clock error, a frequency offset, a carrier phase
// and white noise at a given Es/N0, all from a fixed seed.
//
// Linear keyings (OOK, ASK, BPSK, QPSK) are shaped by root-raised-cosine
// pulses; FSK by raised-cosine frequency pulses (the frequency passes through
// its tone at every symbol centre). Symbol k is centred at
// lead / rate + (k + 1/2) T with T = (1 + clockPpm 1e-6) / symbolRate.
//
// Numbering, as the symbol recovery gives it: OOK/ASK by amplitude (lowest 0,
// ASK amplitudes (s + 1) / 4), FSK by frequency (lowest tone 0; tones at
// offset + (2 s - (M - 1)) deviation), BPSK/QPSK by carrier phase
// counter-clockwise (BPSK s 180 degrees, QPSK 45 + 90 s degrees), plus phase0.

#include "tests/signals/SignalGenerator.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace testsignals {

enum class Keying
{
    Ook,
    Ask,
    Fsk2,
    Fsk4,
    Bpsk,
    Qpsk,
};

struct Keyed
{
    Keying keying = Keying::Bpsk;
    double rate = 1e6;         // samples per second
    double symbolRate = 1e5;   // nominal symbols per second
    std::size_t symbols = 500; // symbols in the burst
    double clockPpm = 0;       // the symbol clock's error
    double offset = 0;         // carrier (or FSK centre) frequency, hertz
    double deviation = 0;      // FSK: half the spacing of adjacent tones, hertz
    double rolloff = 0.35;     // of the pulses
    double phase0 = 0;         // carrier phase, radians
    double amplitude = 1;      // peak symbol amplitude (before shaping)
    // Es/N0 in dB of the noise added over the whole signal (lead and tail
    // included); infinity for none. Es is the burst's mean power times the
    // samples per symbol.
    double esN0Db = std::numeric_limits<double>::infinity();
    std::size_t lead = 0;      // samples before the burst's first symbol period
    std::size_t tail = 0;      // samples after its last
    uint32_t seed = 1;         // symbols, noise
};

struct KeyedSignal
{
    Iq iq;
    std::vector<int> symbols;
    double symbolPeriod = 0;     // T, seconds (with the clock error)
    double firstSymbolTime = 0;  // centre of symbol 0, seconds from sample 0
    double noisePower = 0;       // E|n|^2 per sample (0 without noise)
    double signalPower = 0;      // mean |s|^2 over the burst
};

// Symbols per keying: 2 or 4.
int keyingLevels(Keying keying);
KeyedSignal keyed(const Keyed& shape);

} // namespace testsignals
