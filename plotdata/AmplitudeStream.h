#pragma once
// The amplitude view's two curves over a range, I and Q against time, reduced
// per pixel column block by block.

#include "plotdata/CurveEnvelope.h"
#include "plotdata/CurvePass.h"

#include <cstdint>
#include <memory>
#include <vector>

class SummarySet;

class AmplitudeStream : public CurveStream
{
public:
    // Samples [first, first + n) at fs samples per second, each at time
    // (first + k) / fs; columns found over iXMin ... iXMax for I and qXMin ...
    // qXMax for Q, on plots `width` pixels wide.
    AmplitudeStream(uint64_t first, uint64_t n, double fs, double iXMin, double iXMax,
                    double qXMin, double qXMax, int width);

    // Also hands every I and Q value, in order, to these sinks.
    void setValueSinks(CurveValueSink* iSink, CurveValueSink* qSink)
    {
        iValues = iSink;
        qValues = qSink;
    }

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // Once the whole range has been consumed: the I and Q curves (y ranges
    // centred on zero when they straddle it). frameHolds as for the power curve.
    ReducedCurve resultI() const { return iEnvelope.result(true); }
    ReducedCurve resultQ() const { return qEnvelope.result(true); }
    bool frameHolds(const ReducedCurve& i, const ReducedCurve& q) const
    {
        return iEnvelope.frameHolds(i.ranges) && qEnvelope.frameHolds(q.ranges);
    }
    std::vector<ReducedCurve> results() const override { return {resultI(), resultQ()}; }
    bool framesHold(const std::vector<ReducedCurve>& curves) const override
    {
        return frameHolds(curves.at(0), curves.at(1));
    }

private:
    uint64_t n;
    CurveEnvelope iEnvelope;
    CurveEnvelope qEnvelope;
    CurveValueSink* iValues = nullptr;
    CurveValueSink* qValues = nullptr;
    uint64_t consumed = 0;
};

// The I and Q curves of `range` at fs on plots `width` pixels wide, gathered in
// one pass or two; put together from the recording's summaries when given and
// they reach, building them over the whole recording.
std::unique_ptr<CurvePass> amplitudePass(const StreamRange& range, double fs, int width,
                                         std::shared_ptr<SummarySet> summaries = nullptr);
