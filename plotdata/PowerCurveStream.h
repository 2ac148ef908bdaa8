#pragma once
// The power view's curve over a range, computed block by block: the moving
// average in dBm of each sample's power, reduced per pixel column as it is made.
// The value at a sample is the recording's own, whatever the range: its window
// reaches into the samples around the range, and only the recording's own
// ends repeat their nearest window.

#include "plotdata/CurveEnvelope.h"
#include "plotdata/CurvePass.h"
#include "plotdata/PowerWindows.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class SampleSource;
class SummarySet;

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
    bool operator==(const PowerCurveSettings& other) const = default;
};

class PowerCurveStream : public CurveStream
{
public:
    // Samples [first, first + n) of a recording of `recordingSize` samples at
    // fs samples per second, each at time (first + k) / fs; the curve is
    // powerCurve() of the whole recording at those samples. Its columns are
    // found over xMin ... xMax (the times of its first and last finite points)
    // on a plot `width` pixels wide.
    PowerCurveStream(uint64_t recordingSize, uint64_t first, uint64_t n, double fs,
                     const PowerCurveSettings& settings, double xMin, double xMax, int width);
    // The samples a stream over [first, end) must be fed, in order: those of
    // the windows it shows, which may reach before first and past end.
    static StreamRange reads(uint64_t recordingSize, uint32_t window, uint64_t first, uint64_t end);
    // Also hands every value of the range, in order, to sink; with valuesOnly,
    // only hands them on (the curve's columns are not gathered).
    void setValueSink(CurveValueSink* sink, bool valuesOnly = false)
    {
        values = sink;
        gathering = !valuesOnly;
    }

    // Samples of reads(): each block the next one.
    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // Once every sample of reads() has been consumed. When the curve's finite
    // points span other times than xMin ... xMax, its columns must be found
    // again (frameHolds false) with the result's x range.
    ReducedCurve result() const { return envelope.result(false); }
    bool frameHolds(const ReducedCurve& curve) const { return envelope.frameHolds(curve.ranges); }
    std::vector<ReducedCurve> results() const override { return {result()}; }
    bool framesHold(const std::vector<ReducedCurve>& curves) const override
    {
        return frameHolds(curves.at(0));
    }

private:
    // Values of range samples [k0, k1): `count` of them from y, or all `y[0]`.
    void deliver(const double* y, uint64_t count);
    void deliverConstant(double y, uint64_t count);
    void addPowers(size_t count, const double* i, const double* q);

    uint64_t total;
    uint64_t first;
    uint64_t end;
    uint64_t w;
    PowerScale scale;
    CurveEnvelope envelope;
    CurveValueSink* values = nullptr;
    bool gathering = true;
    StreamRange read;
    uint64_t consumed = 0;
    // Powers not yet used up, the first of them the recording's power `powerBase`.
    std::vector<double> powers;
    uint64_t powerBase = 0;
    // Window blocks: the next to compute and the end of those the range needs.
    uint64_t nextBlock = 0;
    uint64_t endBlock = 0;
    double sum = 0.0;
    std::vector<double> windowValues;
};

// The power curve's values at samples [first, end) of `source`, `offset`
// taken out, read from it (those of a pass over any range holding them).
std::vector<double> powerValues(const SampleSource& source, const DcOffset& offset, const PowerCurveSettings& settings,
                                uint64_t first, uint64_t end, WorkControl& control);

// The power curve of `range` of a recording of `recordingSize` samples at fs on
// a plot `width` pixels wide, gathered in one pass or two; put together from the
// recording's summaries when given and they reach, building them over the
// whole recording.
std::unique_ptr<CurvePass> powerCurvePass(uint64_t recordingSize, const StreamRange& range, double fs,
                                          const PowerCurveSettings& settings, int width,
                                          std::shared_ptr<SummarySet> summaries = nullptr);
