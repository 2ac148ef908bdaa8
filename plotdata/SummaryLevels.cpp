// Summary ladders within a budget.

#include "plotdata/SummaryLevels.h"

#include <algorithm>

namespace {

// Levels are this factor apart: a range pools at most this many records of
// the level below its own pooling into each of its columns.
constexpr uint64_t levelFactor = 4;

std::vector<uint64_t> ladder(uint64_t units, uint64_t finest)
{
    std::vector<uint64_t> blocks;
    for (uint64_t block = finest;; block *= levelFactor) {
        blocks.push_back(block);
        if (levelRecords(units, block) <= 1 || block > UINT64_MAX / levelFactor)
            break;
    }
    return blocks;
}

} // namespace

std::vector<uint64_t> summaryLevels(uint64_t units, uint64_t recordBytes, uint64_t budgetBytes,
                                    uint64_t smallestBlock)
{
    uint64_t finest = 1;
    while (finest < smallestBlock)
        finest *= 2;
    if (units < 2 * finest || recordBytes == 0)
        return {};
    for (; finest < units; finest *= 2) {
        const std::vector<uint64_t> blocks = ladder(units, finest);
        uint64_t bytes = 0;
        for (uint64_t block : blocks)
            bytes += levelRecords(units, block) * recordBytes;
        if (bytes <= budgetBytes)
            return blocks;
    }
    return {};
}
