// Scoring of recovered symbols against the true ones.

#include "tests/signals/SymbolScore.h"

#include <cmath>

namespace testsignals {

SymbolScore scoreSymbols(const KeyedSignal& truth, Keying keying, const std::vector<double>& timesS,
                         const std::vector<int>& symbols, bool rotations)
{
    SymbolScore score;
    const int M = keyingLevels(keying);
    const auto n = static_cast<long long>(truth.symbols.size());
    std::vector<long long> index;
    for (double t : timesS)
        index.push_back(std::llround((t - truth.firstSymbolTime) / truth.symbolPeriod));
    for (std::size_t i = 1; i < index.size(); ++i)
        score.slips += index[i] - index[i - 1] != 1;
    long long first = 0, last = n - 1;
    if (keying == Keying::Ook) {
        while (first < n && truth.symbols[static_cast<std::size_t>(first)] == 0)
            ++first;
        while (last >= 0 && truth.symbols[static_cast<std::size_t>(last)] == 0)
            --last;
    }
    score.countError = static_cast<long long>(symbols.size()) - (last - first + 1);
    std::size_t best = symbols.size() + 1;
    for (int r = 0; r < (rotations ? M : 1); ++r) {
        std::size_t errors = 0, compared = 0;
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            if (index[i] < 0 || index[i] >= n)
                continue;
            ++compared;
            errors += (symbols[i] + r) % M != truth.symbols[static_cast<std::size_t>(index[i])];
        }
        if (errors < best) {
            best = errors;
            score.errors = errors;
            score.compared = compared;
        }
    }
    return score;
}

} // namespace testsignals
