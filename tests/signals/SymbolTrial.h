#pragma once
// One trial of the symbol recovery on a keyed burst with noise before and
// after it: the signal made, its band read as the band export reads it (a
// band around the signal, decimated), the symbols recovered with the true rate
// and modulation or with what the estimate finds, and scored.

#include "tests/signals/SymbolScore.h"

#include <cstdint>
#include <string>

namespace testsignals {

struct SymbolTrialPlan
{
    Keying keying = Keying::Bpsk;
    double samplesPerSymbol = 8;
    double clockPpm = 0;
    double esN0Db = 12;
    std::size_t symbols = 1000;
    uint32_t seed = 1;
    // Whether the rate and the modulation are given (or estimated), and the
    // given rate's relative error.
    bool given = true;
    double rateError = 0;
};

struct SymbolTrialResult
{
    SymbolScore score;
    // The estimate gave no rate or modulation (only when not given).
    bool unresolved = false;
    // A failure's message (no burst found, say).
    std::string failure;
};

SymbolTrialResult runSymbolTrial(const SymbolTrialPlan& shape);

} // namespace testsignals
