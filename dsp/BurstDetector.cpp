// The burst detector's coarse pass and the order of its stages.

#include "dsp/BurstDetector.h"

#include "dsp/BurstBoxes.h"
#include "dsp/BurstEdges.h"
#include "dsp/BurstGrid.h"
#include "dsp/BurstRegions.h"
#include "dsp/ParallelParts.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <stdexcept>

namespace {

// Columns read for the noise floor: all of a short range, else chunks spread over it.
constexpr uint64_t wholeFloorColumns = 16384;
constexpr uint64_t floorChunks = 32;
constexpr uint64_t floorChunkColumns = 2048;
// Cells per bin the median is taken of (about 0.03 dB from the noise's own).
constexpr uint64_t floorValues = 16384;
// Box means kept per scale for its median and spread.
constexpr uint64_t keptPerScale = 4000;
// Columns computed at a time by the main pass.
constexpr uint64_t blockColumns = 8192;
// Pieces closer than this many grid columns join.
constexpr uint64_t gapColumns = 2;
// The hysteresis: the low threshold's share of the high one, in standard deviations.
constexpr double lowShare = 2.0 / 3.0;
// Pieces whose bands overlap by this share of the wider one are of one band.
constexpr double sameBandShare = 0.8;
// The fine stage asks this share of the coarse threshold of a burst's own band and span.
constexpr double acceptShare = 1.0;
// Standard deviations over the noise that each column and row of a marking box needs.
constexpr double partSigmas = 2.0;

struct Thresholds
{
    std::vector<float> high;
    std::vector<float> low;
    // What a box's weakest column and row of cells must reach for it to mark
    // its cells: a box that reaches past a burst into noise marks nothing.
    std::vector<float> column;
    std::vector<float> row;
};

double median(std::vector<double>& v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// The columns of each chunk the floor is measured on.
std::vector<std::pair<uint64_t, uint64_t>> floorChunksOf(uint64_t columns)
{
    if (columns <= wholeFloorColumns)
        return {{0, columns}};
    std::vector<std::pair<uint64_t, uint64_t>> chunks;
    for (uint64_t k = 0; k < floorChunks; ++k)
        chunks.emplace_back((columns - floorChunkColumns) * k / (floorChunks - 1), floorChunkColumns);
    return chunks;
}

// The band's bins [firstBin, endBin): those whose centre lies within half a bin of it.
std::pair<uint32_t, uint32_t> bandBins(const BurstRequest& r)
{
    const double binHz = r.sampleRate / burstFftSize;
    const double half = burstFftSize / 2.0;
    const double lo = std::ceil(r.low / binHz + half - 0.5);
    const double hi = std::floor(r.high / binHz + half + 0.5);
    const auto first = static_cast<uint32_t>(std::clamp(lo, 0.0, double(burstFftSize - 1)));
    const auto end = static_cast<uint32_t>(std::clamp(hi + 1, double(first + 1), double(burstFftSize)));
    return {first, end};
}

// Cells over the noise's mean; bins outside the band 0.
void normalise(float* grid, uint64_t columns, const std::vector<double>& binPower, uint32_t firstBin, uint32_t endBin)
{
    std::vector<float> scale(burstFftSize, 0.0f);
    for (uint32_t b = firstBin; b < endBin; ++b)
        scale[b] = static_cast<float>(1.0 / binPower[b]);
    for (uint64_t c = 0; c < columns; ++c)
        for (uint32_t b = 0; b < burstFftSize; ++b)
            grid[c * burstFftSize + b] *= scale[b];
}

// Each scale's box means on noise: median and spread of their logarithms
// (MAD), where the chunks hold enough boxes, else from the cells' correlation
// measured on the scales that do.
Thresholds thresholdsFrom(const std::vector<std::vector<float>>& grids, const std::vector<uint64_t>& columns,
                          uint32_t firstBin, uint32_t endBin, double sigmas)
{
    const std::vector<BoxScale>& scales = burstBoxScales();
    std::vector<std::vector<double>> kept(scales.size());
    BoxPyramid pyramid;
    for (size_t g = 0; g < grids.size(); ++g) {
        pyramid.build(grids[g].data(), columns[g], burstFftSize);
        for (size_t s = 0; s < scales.size(); ++s) {
            const BoxScale& scale = scales[s];
            const uint64_t across = pyramid.positionsAcross(s), along = pyramid.positionsAlong(s);
            const uint64_t total = across * along;
            // An odd step, so that the boxes kept spread over all bins.
            const uint64_t step = std::max<uint64_t>(1, total * grids.size() / keptPerScale) | 1;
            for (uint64_t k = 0; k < total; k += step) {
                const uint64_t x = k / along;
                const auto y = static_cast<uint32_t>(k % along);
                if ((y << scale.i) < firstBin || ((y + scale.w) << scale.i) > endBin)
                    continue;
                const float mean = pyramid.boxMean(s, x, y);
                if (mean > 0.0f)
                    kept[s].push_back(std::log(static_cast<double>(mean)));
            }
        }
    }
    struct Spread
    {
        double centre;
        double sigma;
    };
    std::vector<std::optional<Spread>> measured(scales.size());
    std::vector<double> correlation;
    for (size_t s = 0; s < scales.size(); ++s) {
        if (kept[s].size() < 200)
            continue;
        const double centre = median(kept[s]);
        std::vector<double> deviations;
        for (double v : kept[s])
            deviations.push_back(std::abs(v - centre));
        const double sigma = 1.4826 * median(deviations);
        measured[s] = Spread{centre, sigma};
        correlation.push_back(sigma * sigma * static_cast<double>(scales[s].cells()));
    }
    // Cells per independent value; 1.5 for Hann windows at half overlap when nothing was measured.
    const double cellsPerValue = correlation.empty() ? 1.5 : median(correlation);
    Thresholds t;
    for (size_t s = 0; s < scales.size(); ++s) {
        const double sigma = std::sqrt(cellsPerValue / static_cast<double>(scales[s].cells()));
        const Spread spread = measured[s].value_or(Spread{0.0, sigma});
        t.high.push_back(static_cast<float>(std::exp(spread.centre + sigmas * spread.sigma)));
        t.low.push_back(static_cast<float>(std::exp(spread.centre + lowShare * sigmas * spread.sigma)));
        const BoxScale& scale = scales[s];
        const double columnCells = double(scale.bins()) * (1u << scale.j);
        const double rowCells = double(1u << scale.i) * scale.columns();
        t.column.push_back(static_cast<float>(std::exp(partSigmas * std::sqrt(cellsPerValue / columnCells))));
        t.row.push_back(static_cast<float>(std::exp(partSigmas * std::sqrt(cellsPerValue / rowCells))));
    }
    return t;
}

// Bursts found twice (from two regions) or overlapping in time and band
// become one; one beside a burst 20 dB stronger at the same time, within two
// bins of its band, is its leakage and goes.
std::vector<Burst> joinedOnce(std::vector<Burst> bursts, double binHz)
{
    std::sort(bursts.begin(), bursts.end(), [](const Burst& a, const Burst& b) { return a.snrDb > b.snrDb; });
    std::vector<Burst> out;
    for (const Burst& b : bursts) {
        bool kept = true;
        for (Burst& o : out) {
            const bool timeOverlap =
                b.sampleStart < o.sampleStart + o.sampleCount && o.sampleStart < b.sampleStart + b.sampleCount;
            if (!timeOverlap)
                continue;
            if (b.lowHz < o.highHz && o.lowHz < b.highHz) {
                // Pieces of one band (the same burst split in time) join; of
                // pieces of other bands the one over more of the time and band
                // stays (a piece of part of a burst's band, whose narrower
                // filter blurs its edges in time, gives way to the whole band's).
                const double overlap = std::min(o.highHz, b.highHz) - std::max(o.lowHz, b.lowHz);
                const double wider = std::max(o.highHz - o.lowHz, b.highHz - b.lowHz);
                if (overlap >= sameBandShare * wider) {
                    if (b.sampleCount > o.sampleCount)
                        o.snrDb = b.snrDb;
                    const uint64_t start = std::min(o.sampleStart, b.sampleStart);
                    const uint64_t end = std::max(o.sampleStart + o.sampleCount, b.sampleStart + b.sampleCount);
                    o.sampleStart = start;
                    o.sampleCount = end - start;
                    o.lowHz = std::min(o.lowHz, b.lowHz);
                    o.highHz = std::max(o.highHz, b.highHz);
                } else if (double(b.sampleCount) * (b.highHz - b.lowHz)
                           > double(o.sampleCount) * (o.highHz - o.lowHz)) {
                    o = b;
                }
                kept = false;
                break;
            }
            const bool beside = b.lowHz < o.highHz + 2 * binHz && o.lowHz - 2 * binHz < b.highHz;
            if (beside && b.snrDb < o.snrDb - 20.0) {
                kept = false;
                break;
            }
        }
        if (kept)
            out.push_back(b);
    }
    std::sort(out.begin(), out.end(), [](const Burst& a, const Burst& b) {
        return a.sampleStart != b.sampleStart ? a.sampleStart < b.sampleStart : a.lowHz < b.lowHz;
    });
    return out;
}

std::vector<Burst> joined(std::vector<Burst> bursts, double binHz)
{
    for (size_t before = bursts.size() + 1; bursts.size() < before;) {
        before = bursts.size();
        bursts = joinedOnce(std::move(bursts), binHz);
    }
    return bursts;
}

// Bounds of `parts` runs of scales of about equal work (box positions per grid cell).
std::vector<size_t> partsOfScales(size_t parts)
{
    const std::vector<BoxScale>& scales = burstBoxScales();
    std::vector<double> work;
    double total = 0.0;
    for (const BoxScale& scale : scales) {
        total += 1.0 / double(uint64_t(1) << (scale.i + scale.j));
        work.push_back(total);
    }
    std::vector<size_t> bounds{0};
    for (size_t p = 1; p < parts; ++p)
        bounds.push_back(static_cast<size_t>(std::lower_bound(work.begin(), work.end(), total * p / parts) - work.begin()));
    bounds.push_back(scales.size());
    return bounds;
}

} // namespace

double thresholdSigmas(double thresholdDb)
{
    return thresholdDb;
}

BurstDetection detectBursts(const SampleSource& source, const BurstRequest& r, WorkControl& control)
{
    if (!(r.sampleRate > 0) || !std::isfinite(r.sampleRate))
        throw std::invalid_argument("The sample rate must be a finite number > 0");
    if (r.end > source.size() || r.end < r.first + burstFftSize)
        throw std::invalid_argument("Bursts are looked for in a range of at least 256 samples");
    if (!(r.low < r.high) || r.low < -r.sampleRate / 2 || r.high > r.sampleRate / 2)
        throw std::invalid_argument("The band must lie within the sample rate");
    if (!(r.thresholdDb > 0) || !std::isfinite(r.thresholdDb))
        throw std::invalid_argument("Invalid threshold: input shall be a finite number > 0");
    if (r.minDuration && (!(*r.minDuration > 0) || !std::isfinite(*r.minDuration)))
        throw std::invalid_argument("Invalid minimum duration: input shall be a finite number > 0");
    const uint64_t columns = (r.end - r.first - burstFftSize) / burstHop + 1;
    const auto [firstBin, endBin] = bandBins(r);
    const auto chunks = floorChunksOf(columns);
    uint64_t floorColumns = 0;
    for (const auto& chunk : chunks)
        floorColumns += chunk.second;
    control.addPlanned(floorColumns + columns);

    // The noise floor per bin: the median over time of the chunks' cells, as
    // the mean of an exponential variable (median / ln 2).
    std::vector<std::vector<float>> grids;
    std::vector<uint64_t> chunkColumns;
    for (const auto& [c0, n] : chunks) {
        control.check();
        grids.emplace_back(n * burstFftSize);
        chunkColumns.push_back(n);
        burstGridColumns(source, r.first + c0 * burstHop, n, r.offset, grids.back().data());
        control.addDone(n);
    }
    BurstNoise noise;
    noise.firstBin = firstBin;
    noise.endBin = endBin;
    noise.binPower.assign(burstFftSize, 0.0);
    std::vector<double> values;
    const uint64_t step = std::max<uint64_t>(1, floorColumns / floorValues);
    for (uint32_t b = 0; b < burstFftSize; ++b) {
        values.clear();
        for (size_t g = 0; g < grids.size(); ++g)
            for (uint64_t c = 0; c < chunkColumns[g]; c += step)
                values.push_back(grids[g][c * burstFftSize + b]);
        noise.binPower[b] = std::max(median(values) / std::numbers::ln2, 1e-300);
    }
    std::vector<double> densities;
    const double toDensity = r.sampleRate * burstWindowPower();
    for (uint32_t b = firstBin; b < endBin; ++b)
        densities.push_back(10.0 * std::log10(noise.binPower[b] / toDensity));
    BurstDetection detection;
    detection.noiseFloorDbHz = median(densities);

    for (size_t g = 0; g < grids.size(); ++g)
        normalise(grids[g].data(), chunkColumns[g], noise.binPower, firstBin, endBin);
    const double sigmas = thresholdSigmas(r.thresholdDb);
    const Thresholds thresholds = thresholdsFrom(grids, chunkColumns, firstBin, endBin, sigmas);
    grids.clear();
    noise.acceptSigmas = acceptShare * sigmas;

    // The main pass: blocks of columns, with the columns the longest box
    // reaches back to kept from the block before.
    std::vector<float> buffer;
    uint64_t bufferStart = 0;
    std::deque<std::pair<BinMask, BinMask>> marks;
    uint64_t marksStart = 0;
    RegionLabeler labeler(gapColumns);
    std::vector<BurstRegion> regions;
    BoxPyramid pyramid;
    const BoxPyramid::Limits limits{thresholds.low.data(), thresholds.column.data(), thresholds.row.data()};
    const std::vector<size_t> scaleParts = partsOfScales(availableThreads());
    for (uint64_t c0 = 0; c0 < columns; c0 += blockColumns) {
        control.check();
        const uint64_t c1 = std::min(columns, c0 + blockColumns);
        buffer.resize((c1 - bufferStart) * burstFftSize);
        float* fresh = buffer.data() + (c0 - bufferStart) * burstFftSize;
        burstGridColumns(source, r.first + c0 * burstHop, c1 - c0, r.offset, fresh);
        normalise(fresh, c1 - c0, noise.binPower, firstBin, endBin);
        marks.resize(c1 - marksStart);
        pyramid.build(buffer.data(), c1 - bufferStart, burstFftSize);
        // The scales in parts of about equal work, each marking on its own.
        const size_t parts = std::min<size_t>(scaleParts.size() - 1, partCount(c1 - c0, 1024));
        std::vector<std::vector<std::pair<BinMask, BinMask>>> partMarks(parts);
        runParts(parts, [&](size_t p) {
            auto& own = partMarks[p];
            own.assign(c1 - marksStart, {});
            const size_t first = scaleParts[p * (scaleParts.size() - 1) / parts];
            const size_t end = scaleParts[(p + 1) * (scaleParts.size() - 1) / parts];
            pyramid.forEachBox(c0 - bufferStart, first, end, limits,
                               [&](size_t s, uint64_t x0, uint64_t x1, uint32_t y0, uint32_t y1, float mean) {
                                   const bool high = mean >= thresholds.high[s];
                                   for (uint64_t x = x0; x < x1; ++x) {
                                       auto& [low, highMarks] = own[bufferStart + x - marksStart];
                                       markBins(low, y0, y1);
                                       if (high)
                                           markBins(highMarks, y0, y1);
                                   }
                               });
        });
        for (const auto& own : partMarks)
            for (size_t x = 0; x < own.size(); ++x)
                for (size_t w = 0; w < 4; ++w) {
                    marks[x].first[w] |= own[x].first[w];
                    marks[x].second[w] |= own[x].second[w];
                }
        // Columns no later box reaches are final.
        const bool last = c1 == columns;
        const uint64_t ready = last ? columns : (c1 > longestBoxColumns ? c1 - longestBoxColumns : 0);
        for (; marksStart < ready; ++marksStart) {
            labeler.add(marksStart, marks.front().first, marks.front().second);
            marks.pop_front();
        }
        for (const BurstRegion& region : labeler.closed(last))
            regions.push_back(region);
        const uint64_t keep = c1 > longestBoxColumns ? (c1 - longestBoxColumns) / boxAlignment * boxAlignment : 0;
        if (keep > bufferStart) {
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>((keep - bufferStart) * burstFftSize));
            bufferStart = keep;
        }
        control.addDone(c1 - c0);
    }

    // Pieces shorter than the shortest burst go before bursts are joined.
    const uint64_t shortest = r.minDuration
                                  ? static_cast<uint64_t>(std::ceil(*r.minDuration * r.sampleRate - 1e-9))
                                  : uint64_t(burstFftSize);
    std::vector<Burst> bursts;
    for (const BurstRegion& region : regions) {
        control.check();
        for (const Burst& b : burstsInRegion(source, r, noise, region, control))
            if (b.sampleCount >= shortest)
                bursts.push_back(b);
    }
    detection.bursts = joined(std::move(bursts), r.sampleRate / burstFftSize);
    return detection;
}
