#pragma once
// The power view's curve over a range, computed block by block: the moving
// average in dBm of each sample's power, reduced per pixel column as it is made.

#include "plotdata/CurveEnvelope.h"
#include "plotdata/CurvePass.h"
#include "plotdata/PowerWindows.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct PowerCurveSettings
{
    uint32_t window = 100;
    double fullScaleValue = 1.0;
    double fullScaleVoltage = 1.0;
    double inputImpedance = 1.0;
    // Power relative to full scale (dBFS) instead of dBm.
    bool relativeToFullScale = false;
    // Only this band, baseband hertz low < high (BandPowerStream); none: all of it.
    std::optional<std::pair<double, double>> band;
};

class PowerCurveStream : public CurveStream
{
public:
    // Samples [first, first + n) at fs samples per second, each at time
    // (first + k) / fs; the curve's columns are found over xMin ... xMax (the
    // times of its first and last finite points) on a plot `width` pixels wide.
    PowerCurveStream(uint64_t first, uint64_t n, double fs, const PowerCurveSettings& settings,
                     double xMin, double xMax, int width);

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // Once the whole range has been consumed. When the curve's finite points
    // span other times than xMin ... xMax, its columns must be found again
    // (frameHolds false) with the result's x range.
    ReducedCurve result() const { return envelope.result(false); }
    bool frameHolds(const ReducedCurve& curve) const { return envelope.frameHolds(curve.ranges); }
    std::vector<ReducedCurve> results() const override { return {result()}; }
    bool framesHold(const std::vector<ReducedCurve>& curves) const override
    {
        return frameHolds(curves.at(0));
    }

private:
    void finish();

    uint64_t n;
    size_t w;
    PowerScale scale;
    CurveEnvelope envelope;
    // Powers not yet used up, the first of them the range's power `powerBase`.
    std::vector<double> powers;
    uint64_t powerBase = 0;
    uint64_t consumed = 0;
    uint64_t nextBlock = 0;
    double sum = 0.0;
    double lastValue = 0.0;
    std::vector<double> values;
};

// The power curve of `range` at fs on a plot `width` pixels wide, gathered in
// one pass or two.
std::unique_ptr<CurvePass> powerCurvePass(const StreamRange& range, double fs,
                                          const PowerCurveSettings& settings, int width);
