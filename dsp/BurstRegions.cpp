// Joining marked grid cells into regions, one column at a time.

#include "dsp/BurstRegions.h"

#include <algorithm>

void markBins(BinMask& mask, uint32_t first, uint32_t end)
{
    for (uint32_t word = first / 64; word < 4 && word * 64 < end; ++word) {
        const uint32_t lo = std::max(first, word * 64) - word * 64;
        const uint32_t hi = std::min(end, word * 64 + 64) - word * 64;
        const uint64_t bits = (hi == 64 ? ~uint64_t(0) : ((uint64_t(1) << hi) - 1)) & ~((uint64_t(1) << lo) - 1);
        mask[word] |= bits;
    }
}

RegionLabeler::RegionLabeler(uint64_t gapColumns) : gap(gapColumns)
{
    lastColumn.fill(-1);
}

uint32_t RegionLabeler::root(uint32_t id)
{
    while (pieces[id].parent != id) {
        pieces[id].parent = pieces[pieces[id].parent].parent;
        id = pieces[id].parent;
    }
    return id;
}

uint32_t RegionLabeler::join(uint32_t a, uint32_t b)
{
    a = root(a);
    b = root(b);
    if (a == b)
        return a;
    if (b < a)
        std::swap(a, b);
    Piece& kept = pieces[a];
    const Piece& gone = pieces[b];
    kept.extent.firstColumn = std::min(kept.extent.firstColumn, gone.extent.firstColumn);
    kept.extent.lastColumn = std::max(kept.extent.lastColumn, gone.extent.lastColumn);
    kept.extent.firstBin = std::min(kept.extent.firstBin, gone.extent.firstBin);
    kept.extent.lastBin = std::max(kept.extent.lastBin, gone.extent.lastBin);
    kept.high = kept.high || gone.high;
    pieces[b].parent = a;
    return a;
}

void RegionLabeler::add(uint64_t column, const BinMask& low, const BinMask& high)
{
    current = column;
    const auto bit = [](const BinMask& m, uint32_t b) { return (m[b / 64] >> (b % 64)) & 1; };
    const auto reach = static_cast<int64_t>(column) - static_cast<int64_t>(gap) - 1;
    struct Run
    {
        uint32_t first, end, id;
    };
    std::vector<Run> runs;
    for (uint32_t b = 0; b < 256;) {
        if (!bit(low, b) && !bit(high, b)) {
            ++b;
            continue;
        }
        uint32_t e = b;
        bool isHigh = false;
        while (e < 256 && (bit(low, e) || bit(high, e))) {
            isHigh = isHigh || bit(high, e);
            ++e;
        }
        // Joins the pieces it touches, or starts one.
        uint32_t id = UINT32_MAX;
        for (uint32_t n = b > 0 ? b - 1 : 0; n < std::min(e + 1, 256u); ++n)
            if (lastColumn[n] >= reach && lastColumn[n] >= 0)
                id = id == UINT32_MAX ? root(label[n]) : join(id, label[n]);
        if (id == UINT32_MAX) {
            id = static_cast<uint32_t>(pieces.size());
            pieces.push_back({{column, column, b, e - 1}, false, id});
            open.push_back(id);
        }
        Piece& piece = pieces[id];
        piece.extent.lastColumn = column;
        piece.extent.firstBin = std::min(piece.extent.firstBin, b);
        piece.extent.lastBin = std::max(piece.extent.lastBin, e - 1);
        piece.high = piece.high || isHigh;
        runs.push_back({b, e, id});
        b = e;
    }
    for (const Run& run : runs) {
        const uint32_t id = root(run.id);
        for (uint32_t n = run.first; n < run.end; ++n) {
            lastColumn[n] = static_cast<int64_t>(column);
            label[n] = id;
        }
    }
}

std::vector<BurstRegion> RegionLabeler::closed(bool all)
{
    std::vector<BurstRegion> done;
    std::vector<uint32_t> still;
    for (uint32_t id : open) {
        if (root(id) != id)
            continue;
        const Piece& piece = pieces[id];
        if (all || piece.extent.lastColumn + gap < current) {
            if (piece.high)
                done.push_back(piece.extent);
        } else {
            still.push_back(id);
        }
    }
    open = std::move(still);
    if (open.empty()) {
        // Nothing refers to the pieces any more: start afresh.
        pieces.clear();
        lastColumn.fill(-1);
    }
    return done;
}
