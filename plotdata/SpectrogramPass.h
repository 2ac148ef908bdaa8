#pragma once
// The spectrogram of a range as a computation: its time columns pooled by
// maximum into at most a given number of columns, put together from the
// recording's summaries when they reach its pooling, and building them when the
// range is the whole recording.

#include "dsp/SpectrogramStream.h"
#include "plotdata/RangePass.h"

#include <cstdint>
#include <memory>

class SpectrogramSummary;
class SummarySet;

class SpectrogramPass : public RangeComputation
{
public:
    // Samples `range` at fs, FFT size 2^exponent, the overlap fraction; nothing
    // is computed for an exponent outside 1 ... maxFftExponent or an empty
    // recording. `summaries`, when given, are those of the recording.
    SpectrogramPass(const StreamRange& range, double fs, int exponent, double overlap,
                    size_t maxColumns, std::shared_ptr<SummarySet> summaries = nullptr);
    ~SpectrogramPass() override;

    BlockConsumer& consumer() override;
    bool finishPass() override;
    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override;
    bool sketchFromSummaries(const DcOffset& offset) override;
    // One time column per output column (the middle one of its group), when
    // the range pools several into each.
    bool previewFromSamples(const SampleSource& source, const DcOffset& offset, WorkControl& control) override;
    // The columns, once the pass is done (none for a range shorter than one FFT).
    PooledSpectrogram& result() { return columns; }

private:
    std::unique_ptr<SpectrogramStream> stream;
    StreamRange range;
    double fs;
    int exponent;
    double overlap;
    std::shared_ptr<SummarySet> summaries;
    std::shared_ptr<SpectrogramSummary> building;
    std::unique_ptr<PooledColumnSink> builder;
    IdleConsumer idle;
    PooledSpectrogram columns;
};
