#pragma once
// Trials of the signal estimate against keyed test signals, noise alone and a
// carrier alone: a table of conditions in, counts of right answers out. The
// tests run a few trials per row, the benchmark's table many.

#include "analysis/Modulation.h"
#include "tests/signals/ModulatedSignal.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsignals {

enum class TrialSignal
{
    Keyed,
    Noise,
    Carrier,
};

struct EstimateCondition
{
    const char* name = "";
    TrialSignal signal = TrialSignal::Keyed;
    Keying keying = Keying::Bpsk;
    double samplesPerSymbol = 8;
    double esN0Db = 20;
    std::size_t symbols = 500;
    double rate = 1e6;
    // FSK deviation over the symbol rate.
    double deviationPerRate = 0.5;
    // Each trial draws its clock error within +-maxPpm and its offset within
    // +-maxOffsetPerRate symbol rates.
    double maxPpm = 200;
    double maxOffsetPerRate = 0.2;
    int trials = 20;
    uint32_t seed = 1;
    // Noise and carrier trials: samples, and the carrier's power over the
    // noise's per sample, dB.
    std::size_t samples = 8192;
    double carrierSnrDb = 10;
};

struct EstimateTally
{
    int trials = 0;
    int rates = 0;          // trials that gave a symbol rate
    int within1e3 = 0;      // |relative error| <= 1e-3
    int within1pc = 0;      // <= 1 %
    int harmonic = 0;       // within 1 % of 2, 3, 1/2 or 1/3 times the rate
    int modulationRight = 0;
    int deviationRight = 0; // FSK deviation within 1 %
    int offsetRight = 0;    // offset within 0.5 % of the symbol rate
};

Modulation modulationOf(Keying keying);
EstimateTally runEstimateTrials(const EstimateCondition& condition);
// One line of the table: the condition's name and its counts.
std::string tallyLine(const EstimateCondition& condition, const EstimateTally& tally);

} // namespace testsignals
