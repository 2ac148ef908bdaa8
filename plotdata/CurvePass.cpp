// Curves gathered again over the span of their finite points.

#include "plotdata/CurvePass.h"

CurveFrame rangeFrame(const StreamRange& range, double fs)
{
    return {static_cast<double>(range.first) / fs,
            static_cast<double>(range.end == 0 ? 0 : range.end - 1) / fs};
}

CurvePass::CurvePass(std::vector<CurveFrame> frames, StreamMaker make)
    : make(std::move(make)), stream(this->make(frames))
{
}

bool CurvePass::finishPass()
{
    ++passes;
    gathered = stream->results();
    if (passes > 1 || stream->framesHold(gathered))
        return true;
    std::vector<CurveFrame> frames;
    for (const ReducedCurve& curve : gathered)
        frames.push_back({curve.ranges.xMin, curve.ranges.xMax});
    stream = make(frames);
    return false;
}
