#pragma once
// Regions of marked grid cells, column by column: cells marked at the low
// threshold that touch (in time, frequency or diagonally) belong to one
// region, also across a gap of a few unmarked columns; a region counts once it
// holds a cell marked at the high threshold (hysteresis).

#include <array>
#include <cstdint>
#include <vector>

// The marks of one column: bit b of word b / 64 for bin b (256 bins).
using BinMask = std::array<uint64_t, 4>;

struct BurstRegion
{
    // Grid columns [firstColumn, lastColumn] and bins [firstBin, lastBin].
    uint64_t firstColumn = 0;
    uint64_t lastColumn = 0;
    uint32_t firstBin = 0;
    uint32_t lastBin = 0;
};

// Sets bits [first, end) of the mask.
void markBins(BinMask& mask, uint32_t first, uint32_t end);

class RegionLabeler
{
public:
    // Pieces closer than gapColumns unmarked columns join.
    explicit RegionLabeler(uint64_t gapColumns);
    // The marks of the next column (columns in increasing order).
    void add(uint64_t column, const BinMask& low, const BinMask& high);
    // Regions holding a high mark that no later column can reach any more
    // (all of them once `all`), in the order they closed.
    std::vector<BurstRegion> closed(bool all);

private:
    struct Piece
    {
        BurstRegion extent;
        bool high = false;
        uint32_t parent = 0;
    };
    uint32_t root(uint32_t id);
    uint32_t join(uint32_t a, uint32_t b);

    uint64_t gap;
    uint64_t current = 0;
    std::vector<Piece> pieces;
    std::vector<uint32_t> open;
    // For each bin, the last column that marked it and the piece it joined.
    std::array<int64_t, 256> lastColumn;
    std::array<uint32_t, 256> label{};
};
