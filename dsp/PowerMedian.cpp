// Median of decibel values by counting them in fine bins.

#include "dsp/PowerMedian.h"

#include <algorithm>
#include <cmath>

PowerMedian::PowerMedian() : bins(static_cast<std::size_t>(std::lround((highestDb - lowestDb) / binDb)), 0) {}

void PowerMedian::add(const double* db, std::size_t count)
{
    const double last = static_cast<double>(bins.size() - 1);
    for (std::size_t k = 0; k < count; ++k) {
        if (std::isnan(db[k]))
            continue;
        const double at = std::clamp(std::floor((db[k] - lowestDb) / binDb), 0.0, last);
        ++bins[static_cast<std::size_t>(at)];
        ++counted;
    }
}

std::optional<double> PowerMedian::median() const
{
    if (counted == 0)
        return std::nullopt;
    const uint64_t middle = (counted + 1) / 2;
    uint64_t seen = 0;
    for (std::size_t k = 0; k < bins.size(); ++k) {
        seen += bins[k];
        if (seen >= middle)
            return lowestDb + (static_cast<double>(k) + 0.5) * binDb;
    }
    return highestDb;
}
