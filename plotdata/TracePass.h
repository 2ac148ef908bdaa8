#pragma once
// The trace view's curve over a range: the band's amplitude, frequency or
// phase (BandTrace) reduced per pixel column, on the time axis the other time
// plots share. With a squelch, a first pass finds the band's noise floor (the
// median power of its outputs in the range) and a second draws the trace
// broken wherever the band is quieter than the floor plus the squelch.

#include "dsp/BandTrace.h"
#include "plotdata/CurveEnvelope.h"
#include "plotdata/RangePass.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class TraceSummaries;

// What the trace shows of a band.
struct TraceSettings
{
    TraceKind kind = TraceKind::Frequency;
    // The band, baseband hertz.
    double low = 0;
    double high = 0;
    // Sample value of full scale (amplitude in dBFS).
    double fullScale = 1;
    // Decibels above the noise floor below which frequency and phase are not
    // drawn; nothing for no squelch.
    std::optional<double> squelchDb;
    bool operator==(const TraceSettings& other) const = default;
};

class TracePass : public RangeComputation
{
public:
    // `range` of a recording of recordingSamples samples at fs, on a plot
    // `width` pixels wide; with summaries of the band kept in `summaries`, put
    // together from them where they reach (and building them over a pass of
    // the whole recording).
    TracePass(const StreamRange& range, double fs, uint64_t recordingSamples, const TraceSettings& settings,
              int width, std::shared_ptr<TraceSummaries> summaries = nullptr);
    ~TracePass() override;

    // Whether a band's trace of these settings is kept for a recording of
    // `samples` samples (the phase, unwrapped from a range's start, and a
    // squelch, measured on a range, are not; nor are short recordings'), and
    // the key it is kept under.
    static bool keepable(const TraceSettings& settings, uint64_t samples);
    static std::string keptKey(const TraceSettings& settings, double fs, uint64_t samples, const DcOffset& offset);

    BlockConsumer& consumer() override;
    bool finishPass() override;
    StreamRange readRange(const StreamRange& range) const override;
    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override;
    // A coarse curve while the pass runs: the amplitude or frequency of a few
    // outputs at the middle of each pixel column (of every few columns where
    // a narrow band's filter reaches far), read from `sketchSource` when that
    // takes few samples (none for the phase or a squelch).
    bool sketchFromSummaries(const DcOffset& offset) override;
    void setSketchSource(std::shared_ptr<const SampleSource> source) { sketchSource = std::move(source); }

    // Once done: the curve (NaN points where it breaks), the outputs' rate,
    // and the noise floor in dBFS the squelch was measured from.
    ReducedCurve& curve() { return result; }
    double outputRate() const { return trace->outputRate(); }
    uint32_t decimation() const { return trace->decimation(); }
    std::optional<double> noiseFloor() const { return floor; }

private:
    class Feed;
    TraceRequest requestFor(std::optional<double> squelchBelowDb) const;
    void startPass(bool measuring);
    void setCurve(ReducedCurve curve);

    StreamRange range;
    double fs;
    uint64_t samples;
    TraceSettings settings;
    int width;
    std::shared_ptr<TraceSummaries> summaries;
    std::shared_ptr<const SampleSource> sketchSource;
    std::unique_ptr<BandTrace> trace;
    std::unique_ptr<Feed> feed;
    std::optional<double> floor;
    ReducedCurve result;
};
