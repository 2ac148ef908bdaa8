#pragma once
// The Welch estimate of a whole recording kept as the sums of its segments'
// squared magnitudes over aligned power-of-two blocks of segments of the
// recording's grid (segment s from sample s hop), at a ladder of block sizes. A
// range's estimate over the grid's segments inside it is put together from the
// largest kept blocks that fit, with only the segments at its two ends that
// fill no finest block computed from samples. Its bins differ from those of a
// pass over the range only by the rounding of the sums taken in another
// grouping (well within 1e-12 relative).

#include "dsp/BlockStream.h"
#include "dsp/SegmentGatherer.h"
#include "dsp/WelchAccumulator.h"
#include "plotdata/SummaryStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SampleSource;

// The grid segments a range's estimate takes: its own segments (from its
// first sample) while it holds fewer than welchGridSegments, else those of the
// recording's grid (from sample 0, hop apart) lying wholly inside it, so that
// long ranges share their segments with the recording's summaries.
constexpr uint64_t welchGridSegments = 1024;
struct WelchSegments
{
    // The samples the estimate reads: the first segment's first sample and
    // the span up to the last one's end.
    uint64_t first = 0;
    uint64_t size = 0;
    // Grid segments [firstSegment, endSegment), when on the grid.
    bool onGrid = false;
    uint64_t firstSegment = 0;
    uint64_t endSegment = 0;
};
// Segments of N samples sharing `shared` (hop N - shared, at least 1) over
// samples [first, first + size).
WelchSegments welchSegments(uint64_t first, uint64_t size, uint32_t N, uint32_t shared);

class WelchSummary
{
public:
    // A recording of `samples` samples, segments of N sharing `shared`, the DC
    // offset `offset` taken out; the finest block as small as budgetBytes allows.
    WelchSummary(uint64_t samples, uint32_t N, uint32_t shared, const DcOffset& offset, uint64_t budgetBytes);

    bool empty() const { return levels.empty(); }
    const std::vector<uint64_t>& poolings() const { return levels; }
    std::vector<SectionLayout> layout() const;
    std::string key() const;
    uint32_t size() const { return n; }
    uint32_t sharedSamples() const { return shared; }
    const DcOffset& offset() const { return dc; }

    void setStore(std::shared_ptr<SummaryStore> store) { records = std::move(store); }
    const std::shared_ptr<SummaryStore>& store() const { return records; }

    // Whether the estimate over these segments, of N sharing `shared`, with
    // this offset, can be put together from the summary once its store is ready.
    bool serves(const WelchSegments& segments, uint32_t N, uint32_t shared, const DcOffset& offset) const;
    // The estimate over the grid segments as WelchAccumulator::result gives it
    // (N linear powers in FFT bin order); nothing when the store cannot be read.
    std::optional<std::vector<double>> spectrum(const WelchSegments& segments, const SampleSource& source,
                                                WorkControl& control) const;

    // A coarser estimate from the summary alone: the kept blocks inside the
    // segments, without those at the ends. Nothing when none lies inside or
    // the store cannot be read.
    std::optional<std::vector<double>> sketch(const WelchSegments& segments) const;

    // A pass over the whole recording that fills the store and gives the
    // whole recording's estimate (the sums of its blocks in order).
    class Builder : public BlockConsumer
    {
    public:
        explicit Builder(WelchSummary& summary);
        void consume(uint64_t index, size_t count, const double* i, const double* q, WorkControl& control) override;
        std::vector<double> result() const;

    private:
        void blockDone(uint64_t segments);
        WelchSummary& summary;
        SegmentGatherer gatherer;
        std::unique_ptr<WelchAccumulator> block;
        uint64_t blocksDone = 0;
        std::vector<double> total;
        std::vector<std::vector<double>> partial;
    };
    std::unique_ptr<Builder> builder();

private:
    // Adds to `sum` the kept sums of grid segments [lo, hi), both on the finest
    // block size, the largest kept blocks that fit first; false when a block
    // cannot be read.
    bool addKeptBlocks(uint64_t lo, uint64_t hi, std::vector<double>& sum) const;

    uint64_t samples;
    uint32_t n;
    uint32_t shared;
    uint32_t hop;
    DcOffset dc;
    uint64_t gridSegments;
    std::vector<uint64_t> levels;
    std::shared_ptr<SummaryStore> records;
};
