#pragma once
// How well recovered symbols match a keyed signal's: each recovered symbol is
// matched by its time to the true symbol whose centre is nearest; a step other
// than one between the matches of neighbours is a slip; errors are counted
// over the matched symbols, under the rotation of the numbering that fits best
// when `rotations` (PSK: the carrier's phase is unknown).

#include "tests/signals/ModulatedSignal.h"

#include <cstddef>
#include <vector>

namespace testsignals {

struct SymbolScore
{
    std::size_t compared = 0;
    std::size_t errors = 0;
    std::size_t slips = 0;
    // Recovered symbols less the burst's (for OOK from its first to its last
    // "on" symbol, which alone can be seen).
    long long countError = 0;
    double errorRate() const { return compared ? static_cast<double>(errors) / static_cast<double>(compared) : 1.0; }
};

// timesS: symbol centres, seconds from the signal's first sample.
SymbolScore scoreSymbols(const KeyedSignal& truth, Keying keying, const std::vector<double>& timesS,
                         const std::vector<int>& symbols, bool rotations);

} // namespace testsignals
