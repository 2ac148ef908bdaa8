// The pyramid of averaged grid cells and the box sizes the detector tries.

#include "dsp/BurstBoxes.h"

namespace {

constexpr uint32_t highestBinLevel = 5;
constexpr uint32_t highestColumnLevel = 8;
constexpr uint64_t fewestCells = 16;
constexpr uint64_t mostCells = 2048;

std::vector<BoxScale> scalesUsed()
{
    std::vector<BoxScale> scales;
    for (uint32_t i = 0; i <= highestBinLevel; ++i)
        for (uint32_t j = 0; j <= highestColumnLevel; ++j)
            for (uint32_t l : {2u, 3u})
                for (uint32_t w : {2u, 3u, 4u, 5u}) {
                    const BoxScale scale{i, j, w, l};
                    if (i + j >= 2 && scale.cells() >= fewestCells && scale.cells() <= mostCells
                        && scale.columns() <= longestBoxColumns)
                        scales.push_back(scale);
                }
    return scales;
}

} // namespace

const std::vector<BoxScale>& burstBoxScales()
{
    static const std::vector<BoxScale> scales = scalesUsed();
    return scales;
}

void BoxPyramid::build(const float* grid, uint64_t columnCount, uint32_t binCount)
{
    base = grid;
    columns = columnCount;
    bins = binCount;
    levels.assign(highestBinLevel + 1, std::vector<std::vector<float>>(highestColumnLevel + 1));
    for (uint32_t i = 0; i <= highestBinLevel; ++i) {
        if (i > 0) {
            // Pairs of bins of the level below.
            const float* below = level(i - 1, 0);
            const uint32_t ny = binsAt(i);
            std::vector<float>& out = levels[i][0];
            out.resize(columns * ny);
            for (uint64_t x = 0; x < columns; ++x)
                for (uint32_t y = 0; y < ny; ++y)
                    out[x * ny + y] = 0.5f * (below[x * 2 * ny + 2 * y] + below[x * 2 * ny + 2 * y + 1]);
        }
        for (uint32_t j = 1; j <= highestColumnLevel; ++j) {
            // Pairs of columns of the level before.
            const float* before = level(i, j - 1);
            const uint32_t ny = binsAt(i);
            const uint64_t nx = columnsAt(j);
            std::vector<float>& out = levels[i][j];
            out.resize(nx * ny);
            for (uint64_t x = 0; x < nx; ++x)
                for (uint32_t y = 0; y < ny; ++y)
                    out[x * ny + y] = 0.5f * (before[2 * x * ny + y] + before[(2 * x + 1) * ny + y]);
        }
    }
}

float BoxPyramid::boxMean(std::size_t s, uint64_t x, uint32_t y) const
{
    const BoxScale& scale = burstBoxScales()[s];
    const float* g = level(scale.i, scale.j);
    const uint32_t ny = binsAt(scale.i);
    float sum = 0.0f;
    for (uint32_t t = 0; t < scale.l; ++t)
        for (uint32_t f = 0; f < scale.w; ++f)
            sum += g[(x + t) * ny + y + f];
    return sum / static_cast<float>(scale.w * scale.l);
}

uint64_t BoxPyramid::positionsAcross(std::size_t s) const
{
    const BoxScale& scale = burstBoxScales()[s];
    return columnsAt(scale.j) >= scale.l ? columnsAt(scale.j) - scale.l + 1 : 0;
}

uint32_t BoxPyramid::positionsAlong(std::size_t s) const
{
    const BoxScale& scale = burstBoxScales()[s];
    return binsAt(scale.i) >= scale.w ? binsAt(scale.i) - scale.w + 1 : 0;
}
