#pragma once
// The amplitude view's two curves over a range, I and Q against time, reduced
// per pixel column block by block.

#include "dsp/BlockStream.h"
#include "views/CurveEnvelope.h"

#include <cstdint>
#include <vector>

class AmplitudeStream : public BlockConsumer
{
public:
    // Samples [first, first + n) at fs samples per second, each at time
    // (first + k) / fs; columns found over iXMin ... iXMax for I and qXMin ...
    // qXMax for Q, on plots `width` pixels wide.
    AmplitudeStream(uint64_t first, uint64_t n, double fs, double iXMin, double iXMax,
                    double qXMin, double qXMax, int width);

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

private:
    uint64_t n;
    CurveEnvelope iEnvelope;
    CurveEnvelope qEnvelope;
    uint64_t consumed = 0;
};
