#pragma once
// The Welch spectrum of a range as a computation, and its curve in a band.

#include "dsp/WelchStream.h"
#include "plotdata/RangePass.h"
#include "plotdata/SpectrumCurve.h"
#include "plotdata/WelchSummary.h"

#include <cstdint>
#include <memory>
#include <vector>

// What the spectrum is computed with.
struct SpectrumSettings
{
    // FFT size in points (a power of two), also the segment length.
    uint32_t fftSize = 256;
    // Fraction (0 to 1) of a segment shared with the next.
    double overlap = 0.8;
    // Band edges in Hz.
    double startFrequency = 0;
    double stopFrequency = 0;
};

// A Welch spectrum as measurements need it: the linear powers in FFT bin order
// and how the segments were cut.
struct WelchResult
{
    std::vector<double> power;
    double sampleRate = 0;
    uint32_t segmentLength = 0;
    // Independent segments the overlapped average is worth (at least 1).
    double effectiveSegments = 0;
};

class SummarySet;
class WelchSummary;

// Samples neighbouring segments of N share at an overlap fraction, within 0 ... N.
uint32_t sharedSamples(uint32_t n, double overlap);

class SpectrumPass : public RangeComputation
{
public:
    // Samples `range` of a recording at `sampleRate` (their segments as
    // welchSegments takes them); FFT sizes other than powers of two from 2 to
    // 2^24 give an empty curve. Put together from the recording's summaries
    // when given and they reach, building them over the whole recording.
    SpectrumPass(const StreamRange& range, double sampleRate, const SpectrumSettings& settings,
                 std::shared_ptr<SummarySet> summaries = nullptr);
    ~SpectrumPass() override;

    BlockConsumer& consumer() override;
    bool finishPass() override;
    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override;
    bool sketchFromSummaries(const DcOffset& offset) override;
    // The curve of the band, once the pass is done (empty when nothing was computed).
    SpectrumCurve curve() const;
    // The powers behind it (empty when nothing was computed).
    WelchResult result() const;

private:
    double rate;
    SpectrumSettings settings;
    std::unique_ptr<WelchStream> stream;
    WelchSegments segments;
    uint32_t shared = 0;
    std::shared_ptr<SummarySet> summaries;
    std::shared_ptr<WelchSummary> building;
    std::unique_ptr<BlockConsumer> builder;
    IdleConsumer idle;
    std::vector<double> power;
    double effectiveSegments = 0;
    uint32_t segmentLength = 0;
};
