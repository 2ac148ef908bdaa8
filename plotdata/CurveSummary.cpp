// Curve blocks kept for a whole recording and a range's curve put together again.

#include "plotdata/CurveSummary.h"

#include "dsp/ParallelParts.h"
#include "plotdata/ColumnRuns.h"
#include "plotdata/SummaryLevels.h"

#include <algorithm>

namespace {

// The finest run kept: shorter ones are as quickly computed from samples.
constexpr uint64_t smallestRun = 256;
// A range is put together from kept runs when its columns hold this many finest runs.
constexpr uint64_t runsPerColumn = 4;
// Fewer blocks than this per thread are not worth a thread.
constexpr size_t minBlocksPerPart = 64;
// Samples at column ends are fetched by this many threads at most, whatever
// the cores: their reads wait on the disk more than they compute.
constexpr size_t fetchThreads = 8;
constexpr size_t minFetchesPerPart = 16;
// A sketch of fewer runs than this is not worth showing.
constexpr uint64_t fewestSketchRuns = 8;

static_assert(sizeof(CurveBlock) == 48, "a record is a block as it lies in memory");

uint64_t alignUp(uint64_t value, uint64_t to)
{
    return (value + to - 1) / to * to;
}

class LevelBuilder : public CurveValueSink
{
public:
    LevelBuilder(SummaryStore& store, size_t firstSection, std::vector<uint64_t> levels, uint64_t samples)
        : store(store), firstSection(firstSection), levels(std::move(levels)), samples(samples),
          finestRecords(levelRecords(samples, this->levels[0])), partial(this->levels.size()),
          partialSize(this->levels.size(), 0)
    {
    }

    void add(const double* y, size_t count) override
    {
        const uint64_t run = levels[0];
        count = static_cast<size_t>(std::min<uint64_t>(count, samples - received));
        while (count > 0) {
            if (!pending.empty() || count < run) {
                const size_t take = static_cast<size_t>(std::min<uint64_t>(count, run - pending.size()));
                pending.insert(pending.end(), y, y + take);
                y += take;
                count -= take;
                received += take;
                if (pending.size() == run || received == samples) {
                    push(curveBlock(pending.data(), pending.size()), pending.size());
                    pending.clear();
                }
                continue;
            }
            // Whole runs straight from the values, side by side.
            const size_t whole = count / static_cast<size_t>(run);
            std::vector<CurveBlock> blocks(whole);
            const size_t parts = partCount(whole, minBlocksPerPart);
            runParts(parts, [&](size_t t) {
                for (size_t b = whole * t / parts; b < whole * (t + 1) / parts; ++b)
                    blocks[b] = curveBlock(y + b * run, static_cast<size_t>(run));
            });
            for (const CurveBlock& block : blocks)
                push(block, run);
            y += whole * run;
            count -= whole * static_cast<size_t>(run);
            received += whole * run;
        }
    }

private:
    void push(const CurveBlock& block, uint64_t size)
    {
        store.append(firstSection, &block, 1);
        for (size_t level = 1; level < levels.size(); ++level) {
            const uint64_t ratio = levels[level] / levels[0];
            if (next % ratio == 0) {
                partial[level] = block;
                partialSize[level] = 0;
            } else {
                partial[level] = joinedBlocks(partial[level], partialSize[level], block);
            }
            partialSize[level] += size;
            if ((next + 1) % ratio == 0 || next + 1 == finestRecords)
                store.append(firstSection + level, &partial[level], 1);
        }
        ++next;
    }

    SummaryStore& store;
    size_t firstSection;
    std::vector<uint64_t> levels;
    uint64_t samples;
    uint64_t finestRecords;
    uint64_t received = 0;
    uint64_t next = 0;
    std::vector<double> pending;
    std::vector<CurveBlock> partial;
    std::vector<uint64_t> partialSize;
};

} // namespace

CurveSummary::CurveSummary(uint64_t samples, size_t curves, std::string what, uint64_t budgetBytes)
    : samples(samples), curveCount(curves), description(std::move(what))
{
    if (curves > 0)
        levels = summaryLevels(samples, sizeof(CurveBlock) * curves, budgetBytes, smallestRun);
}

std::vector<SectionLayout> CurveSummary::layout() const
{
    std::vector<SectionLayout> sections;
    for (size_t c = 0; c < curveCount; ++c)
        for (uint64_t run : levels)
            sections.push_back({static_cast<uint32_t>(sizeof(CurveBlock)), levelRecords(samples, run)});
    return sections;
}

std::string CurveSummary::key() const
{
    return "curves " + description + " samples=" + std::to_string(samples)
           + " finest=" + std::to_string(levels.empty() ? 0 : levels.front());
}

std::unique_ptr<CurveValueSink> CurveSummary::builder(size_t curve)
{
    if (levels.empty() || !records || curve >= curveCount)
        return nullptr;
    return std::make_unique<LevelBuilder>(*records, curve * levels.size(), levels, samples);
}

bool CurveSummary::reaches(uint64_t rangeSamples, int width) const
{
    return !levels.empty() && records && records->ready()
           && rangeSamples / static_cast<uint64_t>(std::max(width, 1)) >= runsPerColumn * levels.front();
}

std::optional<std::vector<ReducedCurve>> CurveSummary::curves(const std::vector<size_t>& which,
                                                              const StreamRange& range, double fs, int width,
                                                              const CurveFrame& frame, bool symmetric,
                                                              const Values& values) const
{
    if (levels.empty() || !records || !records->ready())
        return std::nullopt;
    for (size_t c : which)
        if (c >= curveCount)
            return std::nullopt;
    CurveEnvelope envelope(frame.xMin, frame.xMax, width, range.first, fs);
    const uint64_t finest = levels.front();
    // Each column's samples: computed at its ends, the largest kept aligned
    // runs that fit in between (level -1: samples).
    struct Piece
    {
        uint64_t first, end;
        int level;
    };
    std::vector<Piece> pieces;
    auto split = [&](uint64_t s, uint64_t e) {
        const uint64_t lo = alignUp(s, finest);
        const uint64_t hi = e / finest * finest;
        if (lo >= hi) {
            pieces.push_back({s, e, -1});
            return;
        }
        if (lo > s)
            pieces.push_back({s, lo, -1});
        for (uint64_t p = lo; p < hi;) {
            int level = static_cast<int>(levels.size()) - 1;
            while (level > 0 && (p % levels[level] != 0 || p + levels[level] > hi))
                --level;
            pieces.push_back({p, p + levels[level], level});
            p += levels[level];
        }
        if (hi < e)
            pieces.push_back({hi, e, -1});
    };
    auto columnAt = [&](size_t j) { return envelope.columnOf(envelope.xOf(j)); };
    for (size_t k = 0; k < range.size();) {
        const size_t stop = columnRunEnd(columnAt, k, static_cast<size_t>(range.size()));
        split(range.first + k, range.first + stop);
        k = stop;
    }

    // Samples: neighbouring pieces (the ends of two columns) computed together.
    struct Fetch
    {
        uint64_t first, end;
        std::vector<std::vector<double>> values;
    };
    std::vector<Fetch> fetches;
    std::vector<size_t> fetchOf(pieces.size(), SIZE_MAX);
    for (size_t p = 0; p < pieces.size(); ++p) {
        if (pieces[p].level >= 0)
            continue;
        if (fetches.empty() || fetches.back().end != pieces[p].first)
            fetches.push_back({pieces[p].first, pieces[p].end, {}});
        fetches.back().end = pieces[p].end;
        fetchOf[p] = fetches.size() - 1;
    }
    const size_t parts = std::clamp<size_t>(fetches.size() / minFetchesPerPart, 1, fetchThreads);
    runParts(parts, [&](size_t t) {
        for (size_t f = fetches.size() * t / parts; f < fetches.size() * (t + 1) / parts; ++f)
            values(fetches[f].first, fetches[f].end, fetches[f].values);
    });
    for (const Fetch& fetch : fetches) {
        if (fetch.values.size() != which.size())
            return std::nullopt;
        for (const std::vector<double>& v : fetch.values)
            if (v.size() != fetch.end - fetch.first)
                return std::nullopt;
    }

    // Kept runs: each level's records, read in runs of neighbouring ones.
    std::vector<std::vector<uint64_t>> wanted(levels.size());
    for (const Piece& piece : pieces)
        if (piece.level >= 0)
            wanted[static_cast<size_t>(piece.level)].push_back(piece.first / levels[static_cast<size_t>(piece.level)]);
    std::vector<ReducedCurve> result;
    for (size_t j = 0; j < which.size(); ++j) {
        std::vector<std::vector<CurveBlock>> blocks(levels.size());
        for (size_t level = 0; level < levels.size(); ++level) {
            const std::vector<uint64_t>& index = wanted[level];
            blocks[level].resize(index.size());
            for (size_t r = 0; r < index.size();) {
                size_t e = r + 1;
                while (e < index.size() && index[e] == index[e - 1] + 1)
                    ++e;
                if (!records->read(which[j] * levels.size() + level, index[r], e - r, blocks[level].data() + r))
                    return std::nullopt;
                r = e;
            }
        }
        CurveEnvelope gathered = envelope;
        std::vector<size_t> nextBlock(levels.size(), 0);
        for (size_t p = 0; p < pieces.size(); ++p) {
            const Piece& piece = pieces[p];
            if (piece.level < 0) {
                const Fetch& fetch = fetches[fetchOf[p]];
                gathered.add(fetch.values[j].data() + (piece.first - fetch.first),
                             static_cast<size_t>(piece.end - piece.first));
            } else {
                const auto level = static_cast<size_t>(piece.level);
                gathered.addBlock(blocks[level][nextBlock[level]++], piece.end - piece.first);
            }
        }
        result.push_back(gathered.result(symmetric));
    }
    return result;
}

std::optional<std::vector<ReducedCurve>> CurveSummary::sketch(const std::vector<size_t>& which,
                                                              const StreamRange& range, double fs, int width,
                                                              const CurveFrame& frame, bool symmetric) const
{
    if (levels.empty() || !records || !records->ready())
        return std::nullopt;
    size_t level = 0;
    while (level + 1 < levels.size() && range.size() / levels[level] > 2 * static_cast<uint64_t>(std::max(width, 1)))
        ++level;
    const uint64_t run = levels[level];
    const uint64_t first = alignUp(range.first, run) / run;
    const uint64_t end = range.end / run;
    if (end < first + fewestSketchRuns)
        return std::nullopt;
    std::vector<CurveBlock> blocks(static_cast<size_t>(end - first));
    std::vector<ReducedCurve> result;
    for (size_t c : which) {
        if (c >= curveCount || !records->read(c * levels.size() + level, first, end - first, blocks.data()))
            return std::nullopt;
        ReducedCurve curve;
        curve.width = width;
        curve.sourcePoints = range.size();
        PlotRanges plain{0, 10, 0, 10, false};
        for (size_t b = 0; b < blocks.size(); ++b) {
            const CurveBlock& block = blocks[b];
            if (!block.any())
                continue;
            const uint64_t at = (first + b) * run;
            // first, the two extremes in data order, last; each point once.
            std::pair<uint32_t, double> marks[4] = {{block.firstAt, block.first},
                                                     {block.topAt, block.top},
                                                     {block.bottomAt, block.bottom},
                                                     {block.lastAt, block.last}};
            if (marks[1].first > marks[2].first)
                std::swap(marks[1], marks[2]);
            for (int m = 0; m < 4; ++m) {
                if (m > 0 && marks[m].first == marks[m - 1].first)
                    continue;
                curve.x.push_back(static_cast<double>(at + marks[m].first) / fs);
                curve.y.push_back(marks[m].second);
            }
            plain.yMin = plain.finite ? std::min(plain.yMin, block.bottom) : block.bottom;
            plain.yMax = plain.finite ? std::max(plain.yMax, block.top) : block.top;
            plain.finite = true;
        }
        plain.xMin = frame.xMin;
        plain.xMax = frame.xMax;
        curve.ranges = completePlotRanges(plain, symmetric);
        result.push_back(std::move(curve));
    }
    return result;
}
