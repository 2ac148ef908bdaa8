#pragma once
// Computations fed with the samples of a range of a recording, block by block
// on any thread; several over one range share each pass, and one that needs a
// second pass over the same range gets it.

#include "dsp/BlockStream.h"
#include "dsp/WorkControl.h"

#include <cstdint>
#include <vector>

class SampleSource;

// Samples [first, end) of a recording at a rate, the range every view reads for
// a time range: floor(fs * startTime) ... ceil(fs * stopTime), within the recording.
struct StreamRange
{
    uint64_t first = 0;
    uint64_t end = 0;
    uint64_t size() const { return end - first; }
};
class RangeComputation
{
public:
    virtual ~RangeComputation() = default;
    // What the next pass over the range feeds.
    virtual BlockConsumer& consumer() = 0;
    // Called after each pass: false when the computation needs another pass over
    // the same range (a curve whose finite points span less of it than assumed).
    virtual bool finishPass() = 0;
    // Called before any pass, with the offset the range's samples have taken
    // out: true when the computation is done without one (put together from
    // summaries kept for the recording, reading at most a few samples of
    // `source` itself). It may also ask the coming pass to build summaries.
    virtual bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control)
    {
        (void)source;
        (void)offset;
        (void)control;
        return false;
    }
    // The samples its passes over `range` must be fed (the range itself, or
    // more around it when its values there depend on them).
    virtual StreamRange readRange(const StreamRange& range) const { return range; }
    // For a computation that will need a pass (a separate object of the same
    // kind): a coarser result put together from the summaries alone, reading
    // no sample, to show at once while the pass runs. True when it made one.
    virtual bool sketchFromSummaries(const DcOffset& offset)
    {
        (void)offset;
        return false;
    }
    // For a computation that will need a long pass (a separate object of the
    // same kind): a preview of its result from a sparse subset of the range's
    // samples spread evenly over it and read in file order, with `offset` taken
    // out, to show within a moment while the exact pass runs. True when it made one.
    virtual bool previewFromSamples(const SampleSource& source, const DcOffset& offset, WorkControl& control)
    {
        (void)source;
        (void)offset;
        (void)control;
        return false;
    }
};

// Reads nothing: what a computation that has nothing to make consumes.
class IdleConsumer : public BlockConsumer
{
public:
    void consume(uint64_t, size_t, const double*, const double*, WorkControl&) override {}
};

StreamRange streamRangeOf(double fs, uint64_t count, double startTime, double stopTime);

// Runs the computations over [range.first, range.end) of source, with the DC
// offset removed when asked, in as few passes as they need (none for those put
// together from summaries, one, or two when a curve must be gathered again),
// each pass reading what all of them need and feeding each its own samples.
// Plans range.size() units of progress per pass on control (the first pass's
// units are planned here unless `planned`).
void runComputations(const SampleSource& source, const StreamRange& range, const DcOffset& offset,
                     const std::vector<RangeComputation*>& computations, WorkControl& control,
                     bool planned = false);
// The two steps of runComputations: those put together from summaries (each
// asked once), returning the others; then the passes for those.
std::vector<RangeComputation*> computeFromSummaries(const SampleSource& source, const DcOffset& offset,
                                                   const std::vector<RangeComputation*>& computations,
                                                   WorkControl& control);
void runPasses(const SampleSource& source, const StreamRange& range, const DcOffset& offset,
               std::vector<RangeComputation*> pending, WorkControl& control, bool planned = false);
