#pragma once
// A view's recompute split in two: the computation, which streams over a range
// of a recording on any thread, and the presentation of its result, on the GUI
// thread. Several computations over one range share a single pass.

#include "dsp/BlockStream.h"
#include "dsp/WorkControl.h"

#include <cstdint>
#include <memory>
#include <vector>

class SampleSource;

class ViewComputation
{
public:
    virtual ~ViewComputation() = default;
    // What the next pass over the range feeds.
    virtual BlockConsumer& consumer() = 0;
    // Called after each pass: false when the computation needs another pass over
    // the same range (a curve whose finite points span less of it than assumed).
    virtual bool finishPass() = 0;
    // GUI thread only, once all passes are done: hands the result to the view,
    // which must still exist.
    virtual void present() = 0;
};

// Reads nothing: what a computation that has nothing to make consumes.
class IdleConsumer : public BlockConsumer
{
public:
    void consume(uint64_t, size_t, const double*, const double*, WorkControl&) override {}
};

// Samples [first, end) of a recording at a rate, the range every view reads for
// a time range.
struct StreamRange
{
    uint64_t first = 0;
    uint64_t end = 0;
    uint64_t size() const { return end - first; }
};
StreamRange streamRangeOf(double fs, uint64_t count, double startTime, double stopTime);

// Runs the computations over [range.first, range.end) of source, with the DC
// offset removed when asked, in as few passes as they need (one, or two when a
// curve must be gathered again). Plans range.size() units of progress per pass
// on control (the first pass's units are planned here unless `planned`).
void runComputations(const SampleSource& source, const StreamRange& range, const DcOffset& offset,
                     const std::vector<ViewComputation*>& computations, WorkControl& control,
                     bool planned = false);

class Recording;
// What a view's own recompute does: the computations over [startTime, stopTime]
// of the recording (none loaded reads as an empty one), its DC offset over that
// range removed when asked, on the calling thread (and the library's own
// threads), then presented.
void computeAndPresent(const Recording& recording, double startTime, double stopTime,
                       bool removeDc, const std::vector<ViewComputation*>& computations);
