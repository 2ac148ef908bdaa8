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

    // Box limits per scale, as means of cells: of the whole box, of its
    // weakest column of cells and of its weakest row.
    struct Limits
    {
        const float* mean;
        const float* column;
        const float* row;
    };
    // Calls visit(scale, firstColumn, endColumn, firstBin, endBin, mean) for
    // every box of the scales [firstScale, endScale) whose last column is
    // `fromColumn` or later (grid coordinates) and that reaches all three limits.
    template <typename Visit>
    void forEachBox(uint64_t fromColumn, std::size_t firstScale, std::size_t endScale, const Limits& limits,
                    Visit&& visit) const;
    // The mean of the box of scale s whose first level cell is (x, y).
    float boxMean(std::size_t s, uint64_t x, uint32_t y) const;
    // Positions of scale s: level cells across time and across bins.
    uint64_t positionsAcross(std::size_t s) const;
    uint32_t positionsAlong(std::size_t s) const;

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
void BoxPyramid::forEachBox(uint64_t fromColumn, std::size_t firstScale, std::size_t endScale, const Limits& limits,
                            Visit&& visit) const
{
    const std::vector<BoxScale>& scales = burstBoxScales();
    std::vector<float> sumsBuffer;
    for (std::size_t s = firstScale; s < endScale; ++s) {
        const BoxScale& scale = scales[s];
        const uint32_t i = scale.i, j = scale.j, w = scale.w, l = scale.l;
        const float* g = level(i, j);
        const uint64_t nx = columnsAt(j);
        const uint32_t ny = binsAt(i);
        if (nx < l || ny < w)
            continue;
        const uint32_t positions = ny - w + 1;
        const float meanLimit = limits.mean[s] * static_cast<float>(w * l);
        const float columnLimit = limits.column[s] * static_cast<float>(w);
        const float rowLimit = limits.row[s] * static_cast<float>(l);
        sumsBuffer.resize(ny);
        float* sums = sumsBuffer.data();
        // Boxes ending at fromColumn or later: (x + l) 2^j > fromColumn.
        const uint64_t x0 = (fromColumn >> j) + 1 > l ? (fromColumn >> j) + 1 - l : 0;
        for (uint64_t x = x0; x + l <= nx; ++x) {
            // The sums of whole boxes first (one pass the compiler vectorises);
            // the few that reach the limit are looked at closer.
            const float* c0 = g + x * ny;
            const float* c1 = c0 + ny;
            const float* c2 = l == 3 ? c1 + ny : c1;
            const float third = l == 3 ? 1.0f : 0.0f;
            for (uint32_t y = 0; y < ny; ++y)
                sums[y] = c0[y] + c1[y] + third * c2[y];
            for (uint32_t y = 0; y < positions; ++y) {
                float sum = 0.0f;
                for (uint32_t f = 0; f < w; ++f)
                    sum += sums[y + f];
                if (sum < meanLimit)
                    continue;
                float leastColumn = 3.4e38f, leastRow = 3.4e38f;
                for (uint32_t t = 0; t < l; ++t) {
                    const float* c = g + (x + t) * ny + y;
                    float column = 0.0f;
                    for (uint32_t f = 0; f < w; ++f)
                        column += c[f];
                    leastColumn = std::min(leastColumn, column);
                }
                for (uint32_t f = 0; f < w; ++f)
                    leastRow = std::min(leastRow, sums[y + f]);
                if (leastColumn >= columnLimit && leastRow >= rowLimit)
                    visit(s, x << j, (x + l) << j, y << i, (y + w) << i, sum / static_cast<float>(w * l));
            }
        }
    }
}
