#pragma once
// Boxes of grid cells at many sizes: a pyramid of the power grid averaged over
// aligned pairs of bins and of columns, and boxes of 2 or 3 cells a side at
// each of its levels, so box sizes step by factors of 1.5 and 2 from a few
// cells to a few thousand in both time and frequency.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct BoxScale
{
    // Level: cells of 2^i bins by 2^j columns; the box w by l of them.
    uint32_t i = 0;
    uint32_t j = 0;
    uint32_t w = 2;
    uint32_t l = 2;
    uint32_t bins() const { return w << i; }
    uint32_t columns() const { return l << j; }
    uint64_t cells() const { return uint64_t(bins()) * columns(); }
};

// Every scale used, finest first: at least 16 and at most 2048 grid cells, at
// most 96 bins and 768 columns (a burst of 10^5 samples).
const std::vector<BoxScale>& burstBoxScales();
// The columns of the longest box: regions are final this far behind the grid's end.
constexpr uint64_t longestBoxColumns = 768;
// Levels' time cells start on multiples of this many columns.
constexpr uint64_t boxAlignment = 256;

class BoxPyramid
{
public:
    // The pyramid of `columns` columns of `bins` bins (bins a power of two),
    // column c at grid[c * bins]; column 0 must lie on a multiple of boxAlignment.
    void build(const float* grid, uint64_t columns, uint32_t bins);

    // Calls visit(scale, firstColumn, endColumn, firstBin, endBin, mean,
    // leastColumn, leastRow) for every box whose last column is `fromColumn` or
    // later (grid coordinates): the mean of its cells, of its weakest column of
    // cells and of its weakest row.
    template <typename Visit>
    void forEachBox(uint64_t fromColumn, Visit&& visit) const;

private:
    const float* level(uint32_t i, uint32_t j) const { return j == 0 && i == 0 ? base : levels[i][j].data(); }
    uint64_t columnsAt(uint32_t j) const { return columns >> j; }
    uint32_t binsAt(uint32_t i) const { return bins >> i; }

    const float* base = nullptr;
    uint64_t columns = 0;
    uint32_t bins = 0;
    std::vector<std::vector<std::vector<float>>> levels;
};

template <typename Visit>
void BoxPyramid::forEachBox(uint64_t fromColumn, Visit&& visit) const
{
    const std::vector<BoxScale>& scales = burstBoxScales();
    for (std::size_t s0 = 0; s0 < scales.size();) {
        // The scales of one level, evaluated together.
        const uint32_t i = scales[s0].i, j = scales[s0].j;
        std::size_t s1 = s0;
        while (s1 < scales.size() && scales[s1].i == i && scales[s1].j == j)
            ++s1;
        const float* g = level(i, j);
        const uint64_t nx = columnsAt(j);
        const uint32_t ny = binsAt(i);
        for (std::size_t s = s0; s < s1; ++s) {
            const BoxScale& scale = scales[s];
            if (nx < scale.l || ny < scale.w)
                continue;
            const float inverse = 1.0f / static_cast<float>(scale.w * scale.l);
            // Boxes ending at fromColumn or later: (x + l) 2^j > fromColumn.
            const uint64_t x0 = (fromColumn >> j) + 1 > scale.l ? (fromColumn >> j) + 1 - scale.l : 0;
            for (uint64_t x = x0; x + scale.l <= nx; ++x) {
                if (((x + scale.l) << j) <= fromColumn)
                    continue;
                for (uint32_t y = 0; y + scale.w <= ny; ++y) {
                    float sum = 0.0f;
                    float leastColumn = 3.4e38f;
                    float rows[3] = {0.0f, 0.0f, 0.0f};
                    for (uint32_t t = 0; t < scale.l; ++t) {
                        const float* c = g + (x + t) * ny + y;
                        float column = 0.0f;
                        for (uint32_t f = 0; f < scale.w; ++f) {
                            column += c[f];
                            rows[f] += c[f];
                        }
                        leastColumn = std::min(leastColumn, column);
                        sum += column;
                    }
                    float leastRow = std::min(rows[0], rows[1]);
                    if (scale.w == 3)
                        leastRow = std::min(leastRow, rows[2]);
                    visit(s, x << j, (x + scale.l) << j, y << i, (y + scale.w) << i, sum * inverse,
                          leastColumn / static_cast<float>(scale.w), leastRow / static_cast<float>(scale.l));
                }
            }
        }
        s0 = s1;
    }
}
