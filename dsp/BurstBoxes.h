#pragma once
// Boxes of grid cells at many sizes: a pyramid of the power grid averaged over
// aligned pairs of bins and of columns, and boxes 2 to 5 cells wide and 2 or 3
// long at each of its levels, so that box sizes step by factors of 1.25 to 2
// from 16 cells to 2048, and some box lies inside any burst of 256 in-band
// samples or more whatever its alignment.

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
// most 160 bins and 768 columns (a burst of 10^5 samples).
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
    std::vector<float> sumsBuffer, boxesBuffer;
    for (std::size_t s0 = firstScale; s0 < endScale;) {
        // Scales of one level and length, which share the sums over their columns.
        const uint32_t i = scales[s0].i, j = scales[s0].j, l = scales[s0].l;
        std::size_t s1 = s0;
        while (s1 < endScale && scales[s1].i == i && scales[s1].j == j && scales[s1].l == l)
            ++s1;
        const float* g = level(i, j);
        const uint64_t nx = columnsAt(j);
        const uint32_t ny = binsAt(i);
        if (nx < l || ny < 2) {
            s0 = s1;
            continue;
        }
        sumsBuffer.resize(ny);
        boxesBuffer.resize(ny);
        float* sums = sumsBuffer.data();
        float* boxes = boxesBuffer.data();
        // Boxes ending at fromColumn or later: (x + l) 2^j > fromColumn.
        const uint64_t x0 = (fromColumn >> j) + 1 > l ? (fromColumn >> j) + 1 - l : 0;
        for (uint64_t x = x0; x + l <= nx; ++x) {
            // The sums over the box's columns, then of w of them along the
            // bins (passes the compiler vectorises); only where the largest
            // reaches the limit are the boxes looked at one by one.
            const float* c0 = g + x * ny;
            const float* c1 = c0 + ny;
            const float* c2 = l == 3 ? c1 + ny : c1;
            const float third = l == 3 ? 1.0f : 0.0f;
            for (uint32_t y = 0; y < ny; ++y)
                sums[y] = c0[y] + c1[y] + third * c2[y];
            for (std::size_t s = s0; s < s1; ++s) {
                const uint32_t w = scales[s].w;
                if (ny < w)
                    continue;
                const uint32_t positions = ny - w + 1;
                for (uint32_t y = 0; y < positions; ++y)
                    boxes[y] = sums[y] + sums[y + 1];
                for (uint32_t f = 2; f < w; ++f)
                    for (uint32_t y = 0; y < positions; ++y)
                        boxes[y] += sums[y + f];
                float largest = 0.0f;
                for (uint32_t y = 0; y < positions; ++y)
                    largest = std::max(largest, boxes[y]);
                const float meanLimit = limits.mean[s] * static_cast<float>(w * l);
                if (largest < meanLimit)
                    continue;
                const float columnLimit = limits.column[s] * static_cast<float>(w);
                const float rowLimit = limits.row[s] * static_cast<float>(l);
                for (uint32_t y = 0; y < positions; ++y) {
                    if (boxes[y] < meanLimit)
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
                        visit(s, x << j, (x + l) << j, y << i, (y + w) << i, boxes[y] / static_cast<float>(w * l));
                }
            }
        }
        s0 = s1;
    }
}
