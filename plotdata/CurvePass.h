#pragma once
// Curves against time gathered over a range in at most two passes: the first
// finds each curve's pixel columns over the range's own times, a second over
// the times its finite points span when they span less (so that the curve fills
// the plot as the plot draws it).

#include "plotdata/CurveEnvelope.h"
#include "plotdata/RangePass.h"

#include <functional>
#include <memory>
#include <vector>

// The x values, seconds, a curve's pixel columns are found over.
struct CurveFrame
{
    double xMin = 0;
    double xMax = 0;
};
// The frame of a whole range at fs: the times of its first and last samples.
CurveFrame rangeFrame(const StreamRange& range, double fs);

// A stream of one or more curves over a range, each gathered over its frame.
class CurveStream : public BlockConsumer
{
public:
    // Once the whole range has been consumed.
    virtual std::vector<ReducedCurve> results() const = 0;
    // Whether each curve's finite points span its frame, so that its columns stand.
    virtual bool framesHold(const std::vector<ReducedCurve>& curves) const = 0;
};

class CurvePass : public RangeComputation
{
public:
    // A stream gathering one curve per frame given.
    using StreamMaker = std::function<std::unique_ptr<CurveStream>(const std::vector<CurveFrame>&)>;
    CurvePass(std::vector<CurveFrame> frames, StreamMaker make);

    BlockConsumer& consumer() override { return *stream; }
    bool finishPass() override;
    // The curves, once the passes are done.
    std::vector<ReducedCurve>& curves() { return gathered; }

protected:
    StreamMaker make;
    std::unique_ptr<CurveStream> stream;
    std::vector<ReducedCurve> gathered;
    int passes = 0;
};
